#!/usr/bin/python3
"""Single lines in every language of the OCR engine's table (see screens.py).

Each language's lines are user-interface phrases of that language (menu
items, messages, file names, numbers): twenty of them in Qt or GTK 3
widgets, in a font that covers its script. A language is left out when Debian's
language data for it is not installed: the benchmark compares against
plain Tesseract with that data.
"""

import os

import screens

# Engine name, how the words of a line are joined, and the phrases.
# Chinese and Japanese put no spaces between words; numbers and Latin file
# names stay out of right-to-left and Chinese-Japanese lines, where their
# place in the reading order would be a guess.
PHRASES = {
    "English": (" ", """File|Edit|View|Help|Open file|Save as|Close window|Settings|Search|Print|Delete|Copy|
Paste|Cancel|Error|Warning|Name|Size|Modified|Folder|Documents|Downloads|Password|User account|Network connected|
Update available|Do you want to save changes?|The file could not be opened|Recent files|Select all|Undo|Properties"""),
    "German": (" ", """Datei|Bearbeiten|Ansicht|Hilfe|Datei öffnen|Speichern unter|Fenster schließen|
Einstellungen|Suchen|Drucken|Löschen|Kopieren|Einfügen|Abbrechen|Fehler|Warnung|Größe|Geändert|Ordner|Übersicht|
Passwort|Benutzerkonto|Netzwerk verbunden|Aktualisierung verfügbar|Änderungen speichern?|
Die Datei konnte nicht geöffnet werden|Zuletzt geöffnet|Alles auswählen|Rückgängig|Eigenschaften|Schriftgröße"""),
    "French": (" ", """Fichier|Édition|Affichage|Aide|Ouvrir le fichier|Enregistrer sous|Fermer la fenêtre|
Paramètres|Rechercher|Imprimer|Supprimer|Copier|Coller|Annuler|Erreur|Avertissement|Taille|Modifié|Dossier|
Téléchargements|Mot de passe|Compte utilisateur|Réseau connecté|Mise à jour disponible|Impossible d'ouvrir le fichier|
Fichiers récents|Tout sélectionner|Rétablir|Propriétés|Préférences|Aperçu|Déjà enregistré"""),
    "Spanish": (" ", """Archivo|Editar|Ver|Ayuda|Abrir archivo|Guardar como|Cerrar ventana|Configuración|
Buscar|Imprimir|Eliminar|Copiar|Pegar|Cancelar|Error|Advertencia|Tamaño|Modificado|Carpeta|Descargas|Contraseña|
Cuenta de usuario|Red conectada|Actualización disponible|¿Desea guardar los cambios?|No se pudo abrir el archivo|
Archivos recientes|Seleccionar todo|Deshacer|Rehacer|Propiedades|Información|Año"""),
    "Italian": (" ", """File|Modifica|Visualizza|Aiuto|Apri file|Salva con nome|Chiudi finestra|Impostazioni|
Cerca|Stampa|Elimina|Copia|Incolla|Annulla|Errore|Attenzione|Dimensione|Modificato|Cartella|Documenti|Scaricati|
Account utente|Rete connessa|Aggiornamento disponibile|Salvare le modifiche?|Impossibile aprire il file|File recenti|
Seleziona tutto|Ripeti|Proprietà|Perché|Più recenti|Già salvato"""),
    "Portuguese": (" ", """Arquivo|Editar|Exibir|Ajuda|Abrir arquivo|Salvar como|Fechar janela|Configurações|
Pesquisar|Imprimir|Excluir|Copiar|Colar|Cancelar|Erro|Aviso|Tamanho|Modificado|Pasta|Transferências|Senha|
Conta de usuário|Rede conectada|Atualização disponível|Deseja salvar as alterações?|
Não foi possível abrir o arquivo|Arquivos recentes|Selecionar tudo|Desfazer|Refazer|Propriedades|Informações|Início"""),
    "Dutch": (" ", """Bestand|Bewerken|Beeld|Help|Bestand openen|Opslaan als|Venster sluiten|Instellingen|
Zoeken|Afdrukken|Verwijderen|Kopiëren|Plakken|Annuleren|Fout|Waarschuwing|Grootte|Gewijzigd|Map|Documenten|
Wachtwoord|Gebruikersaccount|Netwerk verbonden|Update beschikbaar|Wijzigingen opslaan?|
Het bestand kan niet worden geopend|Recente bestanden|Alles selecteren|Ongedaan maken|Eigenschappen|Overzicht"""),
    "Danish": (" ", """Filer|Rediger|Vis|Hjælp|Åbn fil|Gem som|Luk vindue|Indstillinger|Søg|Udskriv|Slet|
Kopiér|Indsæt|Annuller|Fejl|Advarsel|Størrelse|Ændret|Mappe|Dokumenter|Overførsler|Adgangskode|Brugerkonto|
Netværk forbundet|Opdatering tilgængelig|Vil du gemme ændringerne?|Filen kunne ikke åbnes|Seneste filer|Vælg alle|
Fortryd|Gentag|Egenskaber|Skrifttype"""),
    "Norwegian": (" ", """Fil|Rediger|Vis|Hjelp|Åpne fil|Lagre som|Lukk vindu|Innstillinger|Søk|Skriv ut|
Slett|Kopier|Lim inn|Avbryt|Feil|Advarsel|Størrelse|Endret|Mappe|Dokumenter|Nedlastinger|Passord|Brukerkonto|
Nettverk tilkoblet|Oppdatering tilgjengelig|Vil du lagre endringene?|Filen kunne ikke åpnes|Nylige filer|Merk alt|
Angre|Gjør om|Egenskaper|Skrifttype"""),
    "Swedish": (" ", """Arkiv|Redigera|Visa|Hjälp|Öppna fil|Spara som|Stäng fönster|Inställningar|Sök|
Skriv ut|Ta bort|Kopiera|Klistra in|Avbryt|Fel|Varning|Storlek|Ändrad|Mapp|Dokument|Hämtade filer|Lösenord|
Användarkonto|Nätverk anslutet|Uppdatering tillgänglig|Vill du spara ändringarna?|Filen kunde inte öppnas|
Senaste filer|Markera allt|Ångra|Gör om|Egenskaper|Teckensnitt"""),
    "Finnish": (" ", """Tiedosto|Muokkaa|Näytä|Ohje|Avaa tiedosto|Tallenna nimellä|Sulje ikkuna|Asetukset|
Etsi|Tulosta|Poista|Kopioi|Liitä|Peruuta|Virhe|Varoitus|Koko|Muokattu|Kansio|Asiakirjat|Lataukset|Salasana|
Käyttäjätili|Verkko yhdistetty|Päivitys saatavilla|Tallennetaanko muutokset?|Tiedostoa ei voitu avata|
Viimeisimmät tiedostot|Valitse kaikki|Kumoa|Tee uudelleen|Ominaisuudet|Näppäimistö"""),
    "Estonian": (" ", """Fail|Redigeeri|Vaade|Abi|Ava fail|Salvesta kui|Sulge aken|Seaded|Otsi|Prindi|
Kustuta|Kopeeri|Kleebi|Loobu|Viga|Hoiatus|Suurus|Muudetud|Kaust|Dokumendid|Allalaadimised|Parool|Kasutajakonto|
Võrk on ühendatud|Uuendus on saadaval|Kas salvestada muudatused?|Faili ei õnnestunud avada|Hiljutised failid|
Vali kõik|Võta tagasi|Tee uuesti|Omadused|Tööriistad"""),
    "Hungarian": (" ", """Fájl|Szerkesztés|Nézet|Súgó|Fájl megnyitása|Mentés másként|Ablak bezárása|
Beállítások|Keresés|Nyomtatás|Törlés|Másolás|Beillesztés|Mégse|Hiba|Figyelmeztetés|Méret|Módosítva|Mappa|
Dokumentumok|Letöltések|Jelszó|Felhasználói fiók|Hálózat csatlakoztatva|Frissítés érhető el|
Menti a módosításokat?|A fájl nem nyitható meg|Legutóbbi fájlok|Összes kijelölése|Visszavonás|Tulajdonságok|Eszközök"""),
    "Polish": (" ", """Plik|Edycja|Widok|Pomoc|Otwórz plik|Zapisz jako|Zamknij okno|Ustawienia|Szukaj|
Drukuj|Usuń|Kopiuj|Wklej|Anuluj|Błąd|Ostrzeżenie|Rozmiar|Zmodyfikowano|Folder|Dokumenty|Pobrane|Hasło|
Konto użytkownika|Połączono z siecią|Dostępna aktualizacja|Czy zapisać zmiany?|Nie można otworzyć pliku|
Ostatnie pliki|Zaznacz wszystko|Cofnij|Ponów|Właściwości|Źródło|Łącze"""),
    "Czech": (" ", """Soubor|Úpravy|Zobrazit|Nápověda|Otevřít soubor|Uložit jako|Zavřít okno|Nastavení|
Hledat|Tisk|Smazat|Kopírovat|Vložit|Zrušit|Chyba|Varování|Velikost|Změněno|Složka|Dokumenty|Stažené soubory|
Heslo|Uživatelský účet|Síť připojena|Dostupná aktualizace|Uložit změny?|Soubor nelze otevřít|Nedávné soubory|
Vybrat vše|Zpět|Znovu|Vlastnosti|Písmo|Nástroje"""),
    "Slovak": (" ", """Súbor|Upraviť|Zobraziť|Pomocník|Otvoriť súbor|Uložiť ako|Zatvoriť okno|Nastavenia|
Hľadať|Tlačiť|Odstrániť|Kopírovať|Vložiť|Zrušiť|Chyba|Upozornenie|Veľkosť|Zmenené|Priečinok|Dokumenty|
Stiahnuté súbory|Heslo|Používateľský účet|Sieť pripojená|Dostupná aktualizácia|Uložiť zmeny?|
Súbor sa nepodarilo otvoriť|Nedávne súbory|Vybrať všetko|Späť|Znova|Vlastnosti|Písmo|Nástroje"""),
    "Slovenian": (" ", """Datoteka|Uredi|Pogled|Pomoč|Odpri datoteko|Shrani kot|Zapri okno|Nastavitve|
Iskanje|Natisni|Izbriši|Kopiraj|Prilepi|Prekliči|Napaka|Opozorilo|Velikost|Spremenjeno|Mapa|Dokumenti|Prenosi|
Geslo|Uporabniški račun|Omrežje povezano|Na voljo je posodobitev|Ali želite shraniti spremembe?|
Datoteke ni mogoče odpreti|Nedavne datoteke|Izberi vse|Razveljavi|Lastnosti|Pisava|Orodja|Število"""),
    "Croatian": (" ", """Datoteka|Uredi|Prikaz|Pomoć|Otvori datoteku|Spremi kao|Zatvori prozor|Postavke|
Traži|Ispis|Izbriši|Kopiraj|Zalijepi|Odustani|Pogreška|Upozorenje|Veličina|Izmijenjeno|Mapa|Dokumenti|
Preuzimanja|Lozinka|Korisnički račun|Mreža povezana|Dostupno ažuriranje|Želite li spremiti promjene?|
Datoteku nije moguće otvoriti|Nedavne datoteke|Odaberi sve|Poništi|Ponovi|Svojstva|Alati|Đak"""),
    "Romanian": (" ", """Fișier|Editare|Vizualizare|Ajutor|Deschide fișierul|Salvează ca|Închide fereastra|
Setări|Caută|Tipărește|Șterge|Copiază|Lipește|Anulează|Eroare|Avertisment|Dimensiune|Modificat|Dosar|Documente|
Descărcări|Parolă|Cont de utilizator|Rețea conectată|Actualizare disponibilă|Salvați modificările?|
Fișierul nu a putut fi deschis|Fișiere recente|Selectează tot|Refă|Proprietăți|Instrumente|Tastatură"""),
    "Turkish": (" ", """Dosya|Düzen|Görünüm|Yardım|Dosya aç|Farklı kaydet|Pencereyi kapat|Ayarlar|Ara|
Yazdır|Sil|Kopyala|Yapıştır|İptal|Hata|Uyarı|Boyut|Değiştirildi|Klasör|Belgeler|İndirilenler|Parola|
Kullanıcı hesabı|Ağ bağlı|Güncelleme mevcut|Değişiklikler kaydedilsin mi?|Dosya açılamadı|Son dosyalar|
Tümünü seç|Geri al|Yinele|Özellikler|Yazı tipi|Araçlar|Şifre"""),
    "Catalan": (" ", """Fitxer|Edita|Visualitza|Ajuda|Obre el fitxer|Desa com a|Tanca la finestra|
Configuració|Cerca|Imprimeix|Suprimeix|Copia|Enganxa|Cancel·la|Error|Avís|Mida|Modificat|Carpeta|Documents|
Baixades|Contrasenya|Compte d'usuari|Xarxa connectada|Actualització disponible|Voleu desar els canvis?|
No s'ha pogut obrir el fitxer|Fitxers recents|Selecciona-ho tot|Desfés|Refés|Propietats|Eines|Pàgina"""),
    "Indonesian": (" ", """Berkas|Sunting|Tampilan|Bantuan|Buka berkas|Simpan sebagai|Tutup jendela|
Pengaturan|Cari|Cetak|Hapus|Salin|Tempel|Batal|Galat|Peringatan|Ukuran|Diubah|Folder|Dokumen|Unduhan|
Kata sandi|Akun pengguna|Jaringan tersambung|Pembaruan tersedia|Simpan perubahan?|Berkas tidak dapat dibuka|
Berkas terbaru|Pilih semua|Urungkan|Ulangi|Properti|Alat"""),
    "Latvian": (" ", """Fails|Rediģēt|Skats|Palīdzība|Atvērt failu|Saglabāt kā|Aizvērt logu|Iestatījumi|
Meklēt|Drukāt|Dzēst|Kopēt|Ielīmēt|Atcelt|Kļūda|Brīdinājums|Izmērs|Mainīts|Mape|Dokumenti|Lejupielādes|Parole|
Lietotāja konts|Tīkls savienots|Pieejams atjauninājums|Vai saglabāt izmaiņas?|Failu nevarēja atvērt|
Nesenie faili|Atlasīt visu|Atsaukt|Rekvizīti|Fonts|Rīki|Ņemt"""),
    "Lithuanian": (" ", """Failas|Taisa|Rodinys|Žinynas|Atverti failą|Įrašyti kaip|Uždaryti langą|
Nustatymai|Ieškoti|Spausdinti|Šalinti|Kopijuoti|Įdėti|Atsisakyti|Klaida|Įspėjimas|Dydis|Pakeista|Aplankas|
Dokumentai|Atsisiuntimai|Slaptažodis|Naudotojo paskyra|Tinklas prijungtas|Yra atnaujinimas|
Ar įrašyti pakeitimus?|Nepavyko atverti failo|Paskiausi failai|Pažymėti viską|Atšaukti|Pakartoti|Savybės|
Šriftas|Įrankiai"""),
    "Bulgarian": (" ", """Файл|Редактиране|Изглед|Помощ|Отваряне на файл|Запазване като|
Затваряне на прозореца|Настройки|Търсене|Печат|Изтриване|Копиране|Поставяне|Отказ|Грешка|Предупреждение|
Размер|Променен|Папка|Документи|Изтегляния|Парола|Потребителски профил|Мрежата е свързана|
Налична е актуализация|Да се запазят ли промените?|Файлът не може да бъде отворен|Последни файлове|
Избиране на всичко|Отмяна|Свойства|Шрифт|Инструменти"""),
    "Russian": (" ", """Файл|Правка|Вид|Справка|Открыть файл|Сохранить как|Закрыть окно|Настройки|Поиск|
Печать|Удалить|Копировать|Вставить|Отмена|Ошибка|Предупреждение|Размер|Изменён|Папка|Документы|Загрузки|
Пароль|Учётная запись|Сеть подключена|Доступно обновление|Сохранить изменения?|Не удалось открыть файл|
Недавние файлы|Выделить всё|Отменить|Повторить|Свойства|Шрифт|Инструменты|Объём"""),
    "Arabic": (" ", """ملف|تحرير|عرض|مساعدة|فتح ملف|حفظ باسم|إغلاق النافذة|الإعدادات|بحث|طباعة|حذف|نسخ|
لصق|إلغاء|خطأ|تحذير|الحجم|تم التعديل|مجلد|المستندات|التنزيلات|كلمة المرور|حساب المستخدم|الشبكة متصلة|يتوفر تحديث|
هل تريد حفظ التغييرات؟|تعذر فتح الملف|الملفات الأخيرة|تحديد الكل|تراجع|إعادة|خصائص|الخط|أدوات"""),
    "Chinese_Simplified": ("", """文件|编辑|视图|帮助|打开文件|另存为|关闭窗口|设置|搜索|打印|删除|复制|
粘贴|取消|错误|警告|名称|大小|修改日期|文件夹|文档|下载|密码|用户帐户|网络已连接|有可用更新|是否保存更改？|无法打开文件|
最近的文件|全选|撤销|重做|属性|字体|工具"""),
    "Chinese_Traditional": ("", """檔案|編輯|檢視|說明|開啟檔案|另存新檔|關閉視窗|設定|搜尋|列印|刪除|
複製|貼上|取消|錯誤|警告|名稱|大小|修改日期|資料夾|文件|下載|密碼|使用者帳戶|網路已連線|有可用的更新|是否儲存變更？|
無法開啟檔案|最近使用的檔案|全選|復原|內容|字型|工具"""),
    "Japanese": ("", """ファイル|編集|表示|ヘルプ|ファイルを開く|名前を付けて保存|ウィンドウを閉じる|設定|検索|
印刷|削除|コピー|貼り付け|キャンセル|エラー|警告|名前|サイズ|更新日時|フォルダー|ドキュメント|ダウンロード|パスワード|
ユーザーアカウント|ネットワークに接続しました|更新プログラムがあります|変更を保存しますか？|ファイルを開けませんでした|
最近使ったファイル|すべて選択|元に戻す|やり直し|プロパティ|フォント|ツール"""),
    "Korean": (" ", """파일|편집|보기|도움말|파일 열기|다른 이름으로 저장|창 닫기|설정|검색|인쇄|삭제|복사|
붙여넣기|취소|오류|경고|이름|크기|수정한 날짜|폴더|문서|다운로드|암호|사용자 계정|네트워크에 연결됨|
업데이트를 사용할 수 있음|변경 내용을 저장하시겠습니까?|파일을 열 수 없습니다|최근 파일|모두 선택|실행 취소|
다시 실행|속성|글꼴|도구"""),
}

# Fonts that cover each script, by the language data's code.
FONTS = {
    "ara": ["Noto Sans Arabic", "Noto Naskh Arabic", "DejaVu Sans"],
    "chi_sim": ["Noto Sans CJK SC", "Noto Serif CJK SC"],
    "chi_tra": ["Noto Sans CJK TC", "Noto Serif CJK TC"],
    "jpn": ["Noto Sans CJK JP", "Noto Serif CJK JP"],
    "kor": ["Noto Sans CJK KR", "Noto Serif CJK KR"],
}
LATIN_FONTS = ["DejaVu Sans", "Noto Sans", "Liberation Sans", "Noto Serif"]
TESSDATA = "/usr/share/tesseract-ocr/5/tessdata"


TABLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "packaging", "ocr-languages.tsv")


def data_codes():
    """The engine's languages and their language data, as the packages list them."""
    with open(TABLE) as f:
        return dict(row.split("\t")[:2] for row in f.read().splitlines() if row and not row.startswith("#"))


def line(rng, language, code):
    joiner, text = PHRASES[language]
    words = [p.strip() for p in text.replace("\n", "").split("|")]
    parts = [rng.choice(words) for _ in range(rng.randint(1, 3))]
    if joiner and code != "ara" and rng.random() < 0.3:
        parts.insert(rng.randrange(len(parts) + 1), screens.token(rng))
    return joiner.join(parts)


def make_lines(display, work, out, index, rng, blank):
    kinds = ["tight", "margin", "edge"]
    codes = data_codes()
    for turn, (language, code) in enumerate(codes.items()):
        if not os.path.exists(os.path.join(os.environ.get("TESSDATA_PREFIX", TESSDATA), code + ".traineddata")):
            print("languages: no language data for %s (%s), left out" % (language, code))
            continue
        fonts = FONTS.get(code, LATIN_FONTS)
        # One scene of each language, its toolkit and look taking turns. GTK's
        # entries are as many Latin letters wide as the text is long, which
        # would clip wider scripts.
        looks = [("qt", "light", 13), ("gtk", "Adwaita:dark", 15), ("qt", "dark", 16), ("gtk", "Adwaita", 14)]
        toolkit, theme, size = looks[turn % 4 if code not in FONTS else turn % 2 * 2]
        prefix = "%s-%s" % (code, toolkit)
        lines = [line(rng, language, code) for _ in range(20)]
        setup = {"lines": lines, "font": fonts[turn % len(fonts)], "size": size, "theme": theme}
        env = {"QT_QPA_PLATFORM": "xcb"} if toolkit == "qt" else {"GTK_THEME": theme, "NO_AT_BRIDGE": "1"}
        screens.run_scene(display, work, out, index, rng, blank, toolkit, prefix,
                          screens.toolkit_command(work, toolkit, prefix, setup), lambda conceal: env, lines,
                          kinds, set_name="languages", language=language)
