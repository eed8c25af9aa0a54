#include "UIText.h"

#include <algorithm>
#include <exception>
#include <iterator>
#include <vector>

int CurrentLanguage = 0;

namespace {

struct UIText
{
    int id;
    const char* english; // UTF-8
    const char* german;  // UTF-8
};

// The report header labels 154 to 158 are padded to one width so the values after them line up;
// their trailing blanks, and the one after the German 210, are part of the text.
constexpr UIText kTexts[] = {
    {1, "OK", "OK"},
    {2, "Cancel", "Abbrechen"},
    {3, "SQLServer", "SQLServer"},
    {4, "Access", "Access"},
    {5, "Orvane", "Orvane"},
    {21, "Profile", "Profil"},
    {22, "Server", "Server"},
    {23, "Database", "Datenbank"},
    {24, "Version", "Version"},
    {25, "Select", "Auswahl"},
    {26, "Tables", "Tabellen"},
    {27, "Views", "Views"},
    {41, "Databasename", "Datenbankname"},
    {43, "Access databases", "Access Datenbanken"},
    {51, "&File", "&Datei"},
    {52, "&Edit", "&Bearbeiten"},
    {53, "&Options", "&Optionen"},
    {54, "&Help", "&Hilfe"},
    {81, "&Enable systables", "Systemtabellen a&ktivieren"},
    {82, "Enable systables", "Systemtabellen aktivieren"},
    {83, "&Output to file", "&Listbox in Datei"},
    {84, "Save Output to file <TEMP>:\\", "Ausgabe speichern in <TEMP>:\\"},
    {85, "Output to &Clipboard", "Listbox in &Zwischenablage"},
    {86, "Copy Output to Clipboard", "Ausgabe in die Zwischenablage abspreichern"},
    {87, "Search &Text", "Suche &Text"},
    {88, "Search Text", "Suche Text"},
    {89, "&Cancel", "&Abbruch"},
    {90, "Cancel", "Abbruch"},
    {91, "&Exit", "&Beenden"},
    {92, "Exit", "Beenden"},
    {93, "&Print", "&Drucken"},
    {94, "Print", "Drucken"},
    {95, "&Select all", "&Alles markieren"},
    {96, "Select all", "Alles markieren"},
    {97, "&Unselect all", "&Markierungen aufheben"},
    {98, "Unselect all", "Markierungen aufheben"},
    {99, "&Refresh", "A&ktualisieren"},
    {100, "Refresh", "Aktualisieren"},
    {101, "&Output", "Aus&gabe"},
    {102, "Output", "Ausgabe"},
    {103, "&Delimiter", "&Trennzeichen"},
    {104, "Select Delimiter", "Trennzeichen auswählen"},
    {105, "&Language", "&Sprache"},
    {106, "Select Language", "Sprache auswählen"},
    {107, "Save Profile", "Profil sichern"},
    {108, "Save Profile", "Profil sichern"},
    {109, "Delete Profile", "Profil löschen"},
    {110, "Delete Profile", "Profil löschen"},
    {111, "Open Database", "Datenbank öffnen"},
    {112, "Open Database", "Datenbank öffnen"},
    {113, "Info about ...", "Info über ..."},
    {114, "Info about ...", "Info über ..."},
    {151, "Input Dialog", "Eingabedialog"},
    {152, "Input new Language !", "Geben Sie eine Sprache ein !"},
    {153, "Input new Delimiter !", "Geben Sie ein Trennzeichen ein !"},
    {154, "Date:      ", "Datum:     "},
    {155, "Provider:  ", "Provider:  "},
    {156, "Server:    ", "Server:    "},
    {157, "Database:  ", "Datenbank: "},
    {158, "Version:   ", "Version:   "},
    {159, "Input new Profile name !", "Geben Sie einen Profilnamen ein !"},
    {160, "This name already exists. Please enter new name:",
     "Dieser Name existiert bereits. Bitte geben Sie einen anderen Namen ein:"},
    {161, "Input database password !", "Geben Sie das Datenbankkennwort ein !"},
    {201, "Login User", "Anmeldung Benutzer"},
    {202, "User", "Name"},
    {203, "Password", "Kennwort"},
    {204, "Login Database", "Anmeldung Datenbank"},
    {205, "Password", "Kennwort"},
    {206, "Info about", "Info über"},
    {210, "Comment:", "Kommentar: "},
    {211,
     "This program is freeware: you may use and pass it on free of charge. It comes as it is, "
     "without any warranty of any kind. You use it at your own risk; its authors accept no "
     "liability for any damage or loss of data that may result from its use.",
     "Dieses Programm ist Freeware: Sie dürfen es kostenlos benutzen und weitergeben. Es wird so "
     "bereitgestellt, wie es ist, ohne jede Gewährleistung. Die Benutzung erfolgt auf eigenes "
     "Risiko; die Autoren haften nicht für Schäden oder Datenverluste, die aus der Benutzung "
     "entstehen."},
    {212, "E-Mail:", "E-Mail:"},
    // The SQL Server data link dialog.
    {301, "Data Link Properties", "Datenverknüpfungseigenschaften"},
    {302, "Provider:", "Provider:"},
    {303, "Server name:", "Servername:"},
    {304, "User name:", "Benutzername:"},
    {305, "Password:", "Kennwort:"},
    {306, "Blank password", "Leeres Kennwort"},
    {307, "Allow saving password", "Speichern des Kennworts zulassen"},
    {308, "Database:", "Datenbank:"},
    {309, "Refresh", "Aktualisieren"},
    {310, "Test Connection", "Verbindung testen"},
    {311, "Test connection succeeded.", "Die Testverbindung war erfolgreich."},
    {312, "Test connection failed: ", "Die Testverbindung ist fehlgeschlagen: "},
    {313, "The server has no database named '%1'.", "Der Server hat keine Datenbank namens '%1'."},
    {314, "The server '%1' could not be reached.", "Der Server '%1' konnte nicht erreicht werden."},
    {315, "Use encryption for data (refuse a server that does not encrypt)",
     "Daten verschlüsseln (Server ohne Verschlüsselung ablehnen)"},
    {316, "Trust server certificate (do not check it)", "Serverzertifikat vertrauen (nicht prüfen)"},
    {328, "SQL Server login, or DOMAIN\\user for a Windows login",
     "SQL-Server-Anmeldename oder DOMÄNE\\Benutzer für eine Windows-Anmeldung"},
    {329,
     "A SQL Server login, or a Windows (domain) account written DOMAIN\\user with its password; the "
     "driver then logs in by NTLMv2. The Kerberos ticket of the current session is not used.",
     "Ein SQL-Server-Anmeldename oder ein Windows-(Domänen-)Konto in der Form DOMÄNE\\Benutzer mit "
     "seinem Kennwort; der Treiber meldet sich dann mit NTLMv2 an. Das Kerberos-Ticket der laufenden "
     "Sitzung wird nicht verwendet."},
    // The extended report, the structure documents and their command.
    {330, "Primary key", "Primärschlüssel"},
    {331, "Index", "Index"},
    {332, "Unique index", "Eindeutiger Index"},
    {333, "Foreign key", "Fremdschlüssel"},
    {334, "Referenced by", "Referenziert von"},
    {335, "Default", "Standardwert"},
    {336, "AutoNumber", "AutoWert"},
    {337, "Computed", "Berechnet"},
    {338, "Description", "Beschreibung"},
    {339, "Linked to", "Verknüpft mit"},
    {340, "on update", "bei Aktualisierung"},
    {341, "on delete", "bei Löschung"},
    {342, "no action", "keine Aktion"},
    {343, "cascade", "weitergeben"},
    {344, "set null", "auf NULL setzen"},
    {345, "set default", "auf Standardwert setzen"},
    {346, "not enforced", "nicht erzwungen"},
    {347, "descending", "absteigend"},
    {348, "Identity", "Identität"},
    {349, "E&xtended report", "&Erweiterter Bericht"},
    {350, "Output with keys, indexes, relationships, defaults and descriptions",
     "Ausgabe mit Schlüsseln, Indizes, Beziehungen, Standardwerten und Beschreibungen"},
    {351, "Columns", "Spalten"},
    {352, "Column", "Spalte"},
    {353, "Type", "Typ"},
    {354, "Length", "Länge"},
    {355, "Null", "Null"},
    {356, "Nullable", "NULL erlaubt"},
    {357, "yes", "ja"},
    {358, "no", "nein"},
    {359, "Indexes", "Indizes"},
    {360, "Foreign keys", "Fremdschlüssel"},
    {361, "Keys", "Schlüssel"},
    {400, "Structure comparison", "Strukturvergleich"},
    {401, "Baseline:  ", "Basis:     "},
    {402, "Current:   ", "Aktuell:   "},
    {403, "Types:     ", "Typen:     "},
    {404, "Access and SQL Server types mapped", "Typen von Access und SQL Server abgebildet"},
    {405, "added", "hinzugefügt"},
    {406, "removed", "entfernt"},
    {407, "changed", "geändert"},
    {408, "table", "Tabelle"},
    {409, "column", "Spalte"},
    {410, "primary key", "Primärschlüssel"},
    {411, "index", "Index"},
    {412, "foreign key", "Fremdschlüssel"},
    {413, "No differences", "Keine Unterschiede"},
    {414, "%1 differences", "%1 Unterschiede"},
    {415, "1 difference", "1 Unterschied"},
    {416, "none", "keiner"},
    {417, "snapshot", "Abbild"},
    {418, "type", "Typ"},
    {419, "length", "Länge"},
    {420, "nullable", "NULL erlaubt"},
    {421, "default", "Standardwert"},
    {422, "AutoNumber/Identity", "AutoWert/Identität"},
    {423, "computed", "berechnet"},
    {424, "description", "Beschreibung"},
    {425, "kind", "Art"},
    {426, "unique", "eindeutig"},
    {427, "columns", "Spalten"},
    {428, "referenced table", "referenzierte Tabelle"},
    {429, "referenced columns", "referenzierte Spalten"},
    {430, "enforced", "erzwungen"},
    {431, "on update", "bei Aktualisierung"},
    {432, "on delete", "bei Löschung"},
    // The window's structure document and comparison commands.
    {433, "Save &structure…", "&Struktur speichern…"},
    {434, "Save the open database's structure as a JSON document",
     "Die Struktur der geöffneten Datenbank als JSON-Dokument speichern"},
    {435, "Co&mpare with…", "&Vergleichen mit…"},
    {436, "Compare the open database's structure with a JSON document or an Access file",
     "Die Struktur der geöffneten Datenbank mit einem JSON-Dokument oder einer Access-Datei vergleichen"},
    {437, "Structure documents", "Strukturdokumente"},
    {438, "Save structure", "Struktur speichern"},
    // The whole database: labels of the extended report and the Markdown page, their value
    // words, the kinds of objects, the Access page's choice and the comparison's new items.
    {440, "Query type", "Abfragetyp"},
    {441, "Parameter", "Parameter"},
    {442, "Returns", "Rückgabe"},
    {443, "Check", "Prüfbedingung"},
    {444, "Rule", "Gültigkeitsregel"},
    {445, "Rule text", "Regelmeldung"},
    {446, "Trigger", "Trigger"},
    {447, "Definition", "Definition"},
    {448, "Caption", "Beschriftung"},
    {449, "Format", "Format"},
    {450, "Input mask", "Eingabeformat"},
    {451, "Decimals", "Dezimalstellen"},
    {452, "Zero length", "Leerer Text"},
    {453, "Lookup", "Nachschlagen"},
    {454, "Hidden", "Ausgeblendet"},
    {455, "Sequence", "Sequenz"},
    {456, "Target", "Ziel"},
    {457, "encrypted", "verschlüsselt"},
    {458, "disabled", "deaktiviert"},
    {459, "clustered", "gruppiert"},
    {460, "include", "einschließlich"},
    {461, "filter", "Filter"},
    {462, "start", "Start"},
    {463, "increment", "Schrittweite"},
    {464, "minimum", "Minimum"},
    {465, "maximum", "Maximum"},
    {466, "cycle", "zyklisch"},
    {467, "bound column", "gebundene Spalte"},
    {468, "%1 columns", "%1 Spalten"},
    {469, "limit to list", "nur Listeneinträge"},
    {470, "text box", "Textfeld"},
    {471, "list box", "Listenfeld"},
    {472, "combo box", "Kombinationsfeld"},
    {473, "check box", "Kontrollkästchen"},
    {474, "select", "Auswahl"},
    {475, "crosstab", "Kreuztabelle"},
    {476, "make-table", "Tabellenerstellung"},
    {477, "append", "Anfügen"},
    {478, "update", "Aktualisierung"},
    {479, "delete", "Löschen"},
    {480, "union", "Union"},
    {481, "pass-through", "Pass-Through"},
    {482, "data definition", "Datendefinition"},
    {483, "query", "Abfrage"},
    {484, "view", "Sicht"},
    {485, "procedure", "Prozedur"},
    {486, "function", "Funktion"},
    {487, "synonym", "Synonym"},
    {488, "Queries", "Abfragen"},
    {489, "check", "Prüfbedingung"},
    {490, "trigger", "Trigger"},
    {491, "parameter", "Parameter"},
    {492, "events", "Ereignisse"},
    {493, "timing", "Zeitpunkt"},
    {494, "enabled", "aktiviert"},
    {495, "output", "Ausgabe"},
    {496, "sequence", "Sequenz"},
    // Access's data types and field sizes as its design view names them.
    {540, "Short Text (%1)", "Kurzer Text (%1)"},
    {541, "Long Text", "Langer Text"},
    {542, "Number (%1)", "Zahl (%1)"},
    {543, "Large Number", "Große Zahl"},
    {544, "Date/Time", "Datum/Uhrzeit"},
    {545, "Date/Time Extended", "Datum/Uhrzeit erweitert"},
    {546, "Currency", "Währung"},
    {547, "AutoNumber", "AutoWert"},
    {548, "Yes/No", "Ja/Nein"},
    {549, "OLE Object", "OLE-Objekt"},
    {550, "Hyperlink", "Link"},
    {551, "Attachment", "Anlage"},
    {552, "Calculated", "Berechnet"},
    {553, "Binary (%1)", "Binär (%1)"},
    {554, "Byte", "Byte"},
    {555, "Integer", "Integer"},
    {556, "Long Integer", "Long Integer"},
    {557, "Single", "Single"},
    {558, "Double", "Double"},
    {559, "Replication ID", "Replikations-ID"},
    {560, "Decimal %1, %2", "Dezimal %1, %2"},
    {561, "AutoNumber (%1)", "AutoWert (%1)"},
    {562, "Lookup, multiple values", "Nachschlagen, mehrere Werte"},
    {563, "Decimal", "Dezimal"},
    // The window's own word for a command that needs an open database, in the window's language.
    {570, "No database is open.", "Es ist keine Datenbank geöffnet."},
    // Relationship diagrams: the window's View > Relationships, the diagrams' captions, the HTML page.
    {500, "&Relationships", "&Beziehungen"},
    {501, "Show the relationships of the checked tables (of all tables when none is checked)",
     "Die Beziehungen der markierten Tabellen zeigen (aller Tabellen, wenn keine markiert ist)"},
    {502, "&View", "&Ansicht"},
    {503, "Relationships", "Beziehungen"},
    {504, "Contents", "Inhalt"},
    {505, "Filter tables", "Tabellen filtern"},
    {506, "Zoom in", "Vergrößern"},
    {507, "Zoom out", "Verkleinern"},
    {508, "Tables without relationships", "Tabellen ohne Beziehungen"},
    {509, "Group %1: %2 tables", "Gruppe %1: %2 Tabellen"},
    {510, "%1 and its neighbours", "%1 und seine Nachbarn"},
    {511, "Fit", "Einpassen"},
    {512, "Print", "Drucken"},
    {513, "Save as…", "Speichern unter…"},
    {514, "SVG images", "SVG-Bilder"},
    {515, "PNG images", "PNG-Bilder"},
    {516, "Laying out picture %1 of %2…", "Bild %1 von %2 wird angeordnet…"},
    {517, "%1 tables, %2 relationships", "%1 Tabellen, %2 Beziehungen"},
    {518, "Stopped: %1 of %2 pictures laid out", "Abgebrochen: %1 von %2 Bildern angeordnet"},
    {519, "Break", "Abbrechen"},
    {520, "Save the diagram", "Diagramm speichern"},
    {521, "No table to show", "Keine Tabelle anzuzeigen"},
    {522, "Written by %1", "Erstellt mit %1"},
    // SQL Server in the field: naming a database, partial views, timeouts, read-only intent.
    {600, "On Azure SQL Database a database must be named: type its name in the Database field.",
     "Bei Azure SQL Database muss eine Datenbank angegeben werden: Geben Sie ihren Namen im Feld Datenbank "
     "ein."},
    {601,
     "If the server is Azure SQL Database, or the login a contained user of a database, a database must be "
     "named: type its name in the Database field.",
     "Ist der Server Azure SQL Database oder der Login ein eigenständiger Benutzer einer Datenbank, muss "
     "eine "
     "Datenbank angegeben werden: Geben Sie ihren Namen im Feld Datenbank ein."},
    {602,
     "The login may not see every object of '%1' (it lacks VIEW DEFINITION): the list may be incomplete.",
     "Der Login sieht in '%1' nicht jedes Objekt (ihm fehlt VIEW DEFINITION): Die Liste ist womöglich "
     "unvollständig."},
    {603, "Read-only intent (for a readable secondary of an availability group)",
     "Nur-Lese-Absicht (für ein lesbares sekundäres Replikat einer Verfügbarkeitsgruppe)"},
    {604, "Query timeout (s):", "Abfrage-Zeitlimit (s):"},
    {605, "The database '%1' could not be opened; the databases the login can see are listed.",
     "Die Datenbank '%1' konnte nicht geöffnet werden; aufgeführt sind die Datenbanken, die der Login "
     "sieht."},
};

// A document asks for a few labels per column of thousands of tables: found by halving, over
// the texts in the order of their numbers.
const UIText* find(int id)
{
    static const std::vector<const UIText*> byId = [] {
        std::vector<const UIText*> index;
        for (const UIText& t : kTexts)
            index.push_back(&t);
        std::stable_sort(index.begin(), index.end(),
                         [](const UIText* a, const UIText* b) { return a->id < b->id; });
        return index;
    }();
    const auto at = std::lower_bound(byId.begin(), byId.end(), id,
                                     [](const UIText* t, int wanted) { return t->id < wanted; });
    return at != byId.end() && (*at)->id == id ? *at : nullptr;
}

QString identifierText(int id)
{
    return QStringLiteral("#") + QString::number(id);
}

} // namespace

QString LoadUIText(int id)
{
    return LoadUITextIn(id, CurrentLanguage);
}

QString LoadUITextIn(int id, int language)
{
    // A text is shown wherever the caller puts it; nothing here may escape into a command.
    try {
        switch (language) {
        case 1:
        case 2: {
            const UIText* t = find(id);
            if (!t)
                return identifierText(id);
            return QString::fromUtf8(language == 1 ? t->german : t->english);
        }
        case 99:
            return identifierText(id);
        default:
            return QString();
        }
    } catch (const std::exception&) {
        return QString();
    }
}
