#include "fmodexerrortexts.h"

#include <iterator>

// Indexed by result code. Byte-exact, including the space that ends every
// text but the first.
static const char *const errorTexts[] = {
    "No errors.", // FMOD_OK
    "Tried to call lock a second time before unlock was called. ", // FMOD_ERR_ALREADYLOCKED
    "Tried to call a function on a data type that does not allow this type of functionality (ie calling Sound::lock on a streaming sound). ", // FMOD_ERR_BADCOMMAND
    "Neither NTSCSI nor ASPI could be initialised. ", // FMOD_ERR_CDDA_DRIVERS
    "An error occurred while initialising the CDDA subsystem. ", // FMOD_ERR_CDDA_INIT
    "Couldn't find the specified device. ", // FMOD_ERR_CDDA_INVALID_DEVICE
    "No audio tracks on the specified disc. ", // FMOD_ERR_CDDA_NOAUDIO
    "No CD/DVD devices were found. ", // FMOD_ERR_CDDA_NODEVICES
    "No disc present in the specified drive. ", // FMOD_ERR_CDDA_NODISC
    "A CDDA read error occurred. ", // FMOD_ERR_CDDA_READ
    "Error trying to allocate a channel. ", // FMOD_ERR_CHANNEL_ALLOC
    "The specified channel has been reused to play another sound. ", // FMOD_ERR_CHANNEL_STOLEN
    "A Win32 COM related error occured. COM failed to initialize or a QueryInterface failed meaning a Windows codec or driver was not installed properly. ", // FMOD_ERR_COM
    "DMA Failure.  See debug output for more information. ", // FMOD_ERR_DMA
    "DSP connection error.  Connection possibly caused a cyclic dependancy.  Or tried to connect a tree too many units deep (more than 128). ", // FMOD_ERR_DSP_CONNECTION
    "DSP Format error.  A DSP unit may have attempted to connect to this network with the wrong format. ", // FMOD_ERR_DSP_FORMAT
    "DSP connection error.  Couldn't find the DSP unit specified. ", // FMOD_ERR_DSP_NOTFOUND
    "DSP error.  Cannot perform this operation while the network is in the middle of running.  This will most likely happen if a connection or disconnection is attempted in a DSP callback. ", // FMOD_ERR_DSP_RUNNING
    "DSP connection error.  The unit being connected to or disconnected should only have 1 input or output. ", // FMOD_ERR_DSP_TOOMANYCONNECTIONS
    "Error loading file. ", // FMOD_ERR_FILE_BAD
    "Couldn't perform seek operation.  This is a limitation of the medium (ie netstreams) or the file format. ", // FMOD_ERR_FILE_COULDNOTSEEK
    "Media was ejected while reading. ", // FMOD_ERR_FILE_DISKEJECTED
    "End of file unexpectedly reached while trying to read essential data (truncated data?). ", // FMOD_ERR_FILE_EOF
    "File not found. ", // FMOD_ERR_FILE_NOTFOUND
    "Unwanted file access occured. ", // FMOD_ERR_FILE_UNWANTED
    "Unsupported file or audio format. ", // FMOD_ERR_FORMAT
    "A HTTP error occurred. This is a catch-all for HTTP errors not listed elsewhere. ", // FMOD_ERR_HTTP
    "The specified resource requires authentication or is forbidden. ", // FMOD_ERR_HTTP_ACCESS
    "Proxy authentication is required to access the specified resource. ", // FMOD_ERR_HTTP_PROXY_AUTH
    "A HTTP server error occurred. ", // FMOD_ERR_HTTP_SERVER_ERROR
    "The HTTP request timed out. ", // FMOD_ERR_HTTP_TIMEOUT
    "FMOD was not initialized correctly to support this function. ", // FMOD_ERR_INITIALIZATION
    "Cannot call this command after System::init. ", // FMOD_ERR_INITIALIZED
    "An error occured that wasn't supposed to.  Contact support. ", // FMOD_ERR_INTERNAL
    "On Xbox 360, this memory address passed to FMOD must be physical, (ie allocated with XPhysicalAlloc.) ", // FMOD_ERR_INVALID_ADDRESS
    "Value passed in was a NaN, Inf or denormalized float. ", // FMOD_ERR_INVALID_FLOAT
    "An invalid object handle was used. ", // FMOD_ERR_INVALID_HANDLE
    "An invalid parameter was passed to this function. ", // FMOD_ERR_INVALID_PARAM
    "An invalid seek position was passed to this function. ", // FMOD_ERR_INVALID_POSITION
    "An invalid speaker was passed to this function based on the current speaker mode. ", // FMOD_ERR_INVALID_SPEAKER
    "The syncpoint did not come from this sound handle. ", // FMOD_ERR_INVALID_SYNCPOINT
    "The vectors passed in are not unit length, or perpendicular. ", // FMOD_ERR_INVALID_VECTOR
    "Reached maximum audible playback count for this sound's soundgroup. ", // FMOD_ERR_MAXAUDIBLE
    "Not enough memory or resources. ", // FMOD_ERR_MEMORY
    "Can't use FMOD_OPENMEMORY_POINT on non PCM source data, or non mp3/xma/adpcm data if FMOD_CREATECOMPRESSEDSAMPLE was used. ", // FMOD_ERR_MEMORY_CANTPOINT
    "Not enough memory or resources on console sound ram. ", // FMOD_ERR_MEMORY_SRAM
    "Tried to call a command on a 3d sound when the command was meant for 2d sound. ", // FMOD_ERR_NEEDS2D
    "Tried to call a command on a 2d sound when the command was meant for 3d sound. ", // FMOD_ERR_NEEDS3D
    "Tried to use a feature that requires hardware support.  (ie trying to play a GCADPCM compressed sound in software on Wii). ", // FMOD_ERR_NEEDSHARDWARE
    "Tried to use a feature that requires the software engine.  Software engine has either been turned off, or command was executed on a hardware channel which does not support this feature. ", // FMOD_ERR_NEEDSSOFTWARE
    "Couldn't connect to the specified host. ", // FMOD_ERR_NET_CONNECT
    "A socket error occurred.  This is a catch-all for socket-related errors not listed elsewhere. ", // FMOD_ERR_NET_SOCKET_ERROR
    "The specified URL couldn't be resolved. ", // FMOD_ERR_NET_URL
    "Operation on a non-blocking socket could not complete immediately. ", // FMOD_ERR_NET_WOULD_BLOCK
    "Operation could not be performed because specified sound/DSP connection is not ready. ", // FMOD_ERR_NOTREADY
    "Error initializing output device, but more specifically, the output device is already in use and cannot be reused. ", // FMOD_ERR_OUTPUT_ALLOCATED
    "Error creating hardware sound buffer. ", // FMOD_ERR_OUTPUT_CREATEBUFFER
    "A call to a standard soundcard driver failed, which could possibly mean a bug in the driver or resources were missing or exhausted. ", // FMOD_ERR_OUTPUT_DRIVERCALL
    "Error enumerating the available driver list. List may be inconsistent due to a recent device addition or removal. ", // FMOD_ERR_OUTPUT_ENUMERATION
    "Soundcard does not support the minimum features needed for this soundsystem (16bit stereo output). ", // FMOD_ERR_OUTPUT_FORMAT
    "Error initializing output device. ", // FMOD_ERR_OUTPUT_INIT
    "FMOD_HARDWARE was specified but the sound card does not have the resources necessary to play it. ", // FMOD_ERR_OUTPUT_NOHARDWARE
    "Attempted to create a software sound but no software channels were specified in System::init. ", // FMOD_ERR_OUTPUT_NOSOFTWARE
    "Panning only works with mono or stereo sound sources. ", // FMOD_ERR_PAN
    "An unspecified error has been returned from a 3rd party plugin. ", // FMOD_ERR_PLUGIN
    "The number of allowed instances of a plugin has been exceeded. ", // FMOD_ERR_PLUGIN_INSTANCES
    "A requested output, dsp unit type or codec was not available. ", // FMOD_ERR_PLUGIN_MISSING
    "A resource that the plugin requires cannot be found. (ie the DLS file for MIDI playback or other DLLs that it needs to load) ", // FMOD_ERR_PLUGIN_RESOURCE
    "The specified sound is still in use by the event system, call EventSystem::unloadFSB before trying to release it. ", // FMOD_ERR_PRELOADED
    "The specified sound is still in use by the event system, wait for the event which is using it finish with it. ", // FMOD_ERR_PROGRAMMERSOUND
    "An error occured trying to initialize the recording device. ", // FMOD_ERR_RECORD
    "Specified instance in FMOD_REVERB_PROPERTIES couldn't be set. Most likely because it is an invalid instance number or the reverb doesnt exist. ", // FMOD_ERR_REVERB_INSTANCE
    "This subsound is already being used by another sound, you cannot have more than one parent to a sound.  Null out the other parent's entry first. ", // FMOD_ERR_SUBSOUND_ALLOCATED
    "Shared subsounds cannot be replaced or moved from their parent stream, such as when the parent stream is an FSB file. ", // FMOD_ERR_SUBSOUND_CANTMOVE
    "The subsound's mode bits do not match with the parent sound's mode bits.  See documentation for function that it was called with. ", // FMOD_ERR_SUBSOUND_MODE
    "The error occured because the sound referenced contains subsounds when it shouldn't have, or it doesn't contain subsounds when it should have.  The operation may also not be able to be performed on a parent sound, or a parent sound was played without setting up a sentence first. ", // FMOD_ERR_SUBSOUNDS
    "The specified tag could not be found or there are no tags. ", // FMOD_ERR_TAGNOTFOUND
    "The sound created exceeds the allowable input channel count.  This can be increased using the maxinputchannels parameter in System::setSoftwareFormat. ", // FMOD_ERR_TOOMANYCHANNELS
    "Something in FMOD hasn't been implemented when it should be! contact support! ", // FMOD_ERR_UNIMPLEMENTED
    "This command failed because System::init or System::setDriver was not called. ", // FMOD_ERR_UNINITIALIZED
    "A command issued was not supported by this object.  Possibly a plugin without certain callbacks specified. ", // FMOD_ERR_UNSUPPORTED
    "An error caused by System::update occured. ", // FMOD_ERR_UPDATE
    "The version number of this file format is not supported. ", // FMOD_ERR_VERSION
    "An Event failed to be retrieved, most likely due to 'just fail' being specified as the max playbacks behavior. ", // FMOD_ERR_EVENT_FAILED
    "Can't execute this command on an EVENT_INFOONLY event. ", // FMOD_ERR_EVENT_INFOONLY
    "An error occured that wasn't supposed to.  See debug log for reason. ", // FMOD_ERR_EVENT_INTERNAL
    "Event failed because 'Max streams' was hit when FMOD_EVENT_INIT_FAIL_ON_MAXSTREAMS was specified. ", // FMOD_ERR_EVENT_MAXSTREAMS
    "FSB mismatches the FEV it was compiled with, the stream/sample mode it was meant to be created with was different, or the FEV was built for a different platform. ", // FMOD_ERR_EVENT_MISMATCH
    "A category with the same name already exists. ", // FMOD_ERR_EVENT_NAMECONFLICT
    "The requested event, event group, event category or event property could not be found. ", // FMOD_ERR_EVENT_NOTFOUND
    "Tried to call a function on a complex event that's only supported by simple events. ", // FMOD_ERR_EVENT_NEEDSSIMPLE
    "An event with the same GUID already exists. ", // FMOD_ERR_EVENT_GUIDCONFLICT
    "The specified project or bank has already been loaded. Having multiple copies of the same project loaded simultaneously is forbidden. ", // FMOD_ERR_EVENT_ALREADY_LOADED
    "Music system is not initialized probably because no music data is loaded. ", // FMOD_ERR_MUSIC_UNINITIALIZED
    "The requested music entity could not be found. ", // FMOD_ERR_MUSIC_NOTFOUND
    "The music callback is required, but it has not been set. ", // FMOD_ERR_MUSIC_NOCALLBACK
};
static_assert(std::size(errorTexts) == 96, "one text for each result code from 0 to 95");

const char *fmodexErrorText(int result)
{
    const unsigned int code = static_cast<unsigned int>(result);
    return code < std::size(errorTexts) ? errorTexts[code] : "Unknown error.";
}
