// What orvane-jet-reader writes to its standard output, shared by the reader and the program that
// starts it. libmdb is not safe on damaged files, so it runs only in that separate program; this
// is the whole of what crosses between the two.
//
// Invocation:  orvane-jet-reader catalogue|query FILE [--time-limit SECONDS] [--memory-limit MIB]
//                                                     [--queries 0|1]
// With --queries 0 a catalogue leaves out the saved queries (no kTagQuery records).
// Standard input: the database password on the first line (taken for files whose pages are
// encrypted; a plain file's password is checked by the caller), then, for "query", one SELECT
// statement. Nothing secret ever stands in the arguments or the environment.
//
// Output, version 4. Integers are 32-bit little-endian; a string is its byte count followed by
// that many bytes of UTF-8; an absent property is the empty string.
//   u32 kJetReaderMagic, u32 kJetReaderVersion
//   then records, each opened by a u32 tag:
//     kTagTable    (catalogue) a local table: string name, i32 MSysObjects.Id, i32 MSysObjects.Flags,
//                  string Description (the table's property), its properties of kTableProperties,
//                  u32 column count, and per column in stored order:
//                    string name, i32 type code, i32 stored size in bytes, i32 flags (kColumn*),
//                    i32 precision, i32 scale, string DefaultValue, string Expression (a
//                    calculated column's), string Description, its properties of
//                    kColumnProperties
//                  where properties are u32 count, then per property the block holds: string
//                  name, string value as libmdb gives it (Yes/No as "yes"/"no", numbers in
//                  decimal, texts as stored)
//                  then u32 index count, and per index in the definition's order (the hidden
//                  indexes Jet keeps for relationships are left out):
//                    string name, i32 flags (kIndex*), u32 key column count, and per key column
//                    in key order: string column name, i32 descending (0 or 1)
//     kTagLink     (catalogue) a linked table: string name, i32 MSysObjects.Id, i32 MSysObjects.Type
//                  (kLinkJet or kLinkOdbc), i32 MSysObjects.Flags, string ForeignName, string
//                  Database, string Connect (may hold the back-end's password: ";PWD=...")
//     kTagRelation (catalogue) one row of MSysRelationships, as stored: string szRelationship,
//                  string szObject (the referencing table), string szColumn, string
//                  szReferencedObject, string szReferencedColumn, i32 icolumn (the column's place
//                  in the key), i32 grbit (kRelation*)
//     kTagComplex  (catalogue) one row of MSysComplexColumns (ACE: an attachment or multi-value
//                  field): string ColumnName, i32 ConceptualTableID (the table's MSysObjects.Id),
//                  i32 FlatTableID (the Id of the hidden table that holds the field's values)
//     kTagQuery    (catalogue) a saved query (MSysObjects type kQueryObjectType): string name, i32
//                  MSysObjects.Id, i32 MSysObjects.Flags, string Description (the query's design
//                  property, may be empty), u32 row count, and per row of MSysQueries
//                  whose ObjectId is the query's Id, in the order of that table's key (Attribute,
//                  then Order; the file's order among equals):
//                    i32 Attribute, i32 Flag (signed 16 bits), string Name1, string Name2, string
//                    Expression (a Null is the empty string, a Null Flag 0)
//     kTagColumns  u32 count, then that many strings: the result's field names. In a catalogue,
//                  the answer to kSystemTableStatement follows in kTagRow records; a catalogue
//                  without it (the statement would not read this file's own MSysObjects, e.g.
//                  for want of a catalogue row for itself) leaves the statement to a query run.
//     kTagRow      as many strings as there are fields
//     kTagError    i32 Jet error number, string message (may be empty); the reader then exits 1
//     kTagEnd      u32 number of table, link, relation, complex, query and row records sent before
//                  it; the reader then exits 0
// Tables, links, relations, complex columns, queries, then the statement's answer, come in the
// file's own order (the caller sorts). A link's columns live in another file, which the caller reads with a
// reader of its own. Anything else, a missing end record, or a count that disagrees means the file made the
// reader fail: "may be corrupt".
#pragma once

#include <cstdint>

namespace jetreader {

constexpr std::uint32_t kJetReaderMagic = 0x444A524F; // "ORJD"
constexpr std::uint32_t kJetReaderVersion = 4;

constexpr std::uint32_t kTagTable = 0x4C424154;    // "TABL"
constexpr std::uint32_t kTagColumns = 0x534C4F43;  // "COLS"
constexpr std::uint32_t kTagRow = 0x20574F52;      // "ROW "
constexpr std::uint32_t kTagError = 0x20525245;    // "ERR "
constexpr std::uint32_t kTagEnd = 0x20444E45;      // "END "
constexpr std::uint32_t kTagLink = 0x4B4E494C;     // "LINK"
constexpr std::uint32_t kTagRelation = 0x4E4C4552; // "RELN"
constexpr std::uint32_t kTagComplex = 0x58504D43;  // "CMPX"
constexpr std::uint32_t kTagQuery = 0x59524551;    // "QERY"

// MSysObjects.Type of a saved query.
constexpr std::int32_t kQueryObjectType = 5;

// The design properties a catalogue sends beyond the fields above, by name.
constexpr const char* kTableProperties[] = {"ValidationRule", "ValidationText"};
constexpr const char* kColumnProperties[] = {
    "Caption",        "Format",         "InputMask",      "DecimalPlaces", "AllowZeroLength",
    "ValidationRule", "ValidationText", "DisplayControl", "RowSourceType", "RowSource",
    "BoundColumn",    "ColumnCount",    "LimitToList"};

// MSysObjects.Type of the linked tables.
constexpr std::int32_t kLinkOdbc = 4; // a table of an ODBC data source
constexpr std::int32_t kLinkJet = 6;  // a table of another Access file

constexpr std::int32_t kColumnFixed = 1;
constexpr std::int32_t kColumnAutoLong = 2;
constexpr std::int32_t kColumnAutoGuid = 4;
constexpr std::int32_t kColumnRequired = 8; // the column's Required property is set
// A Memo the design view shows as a Hyperlink: bit 0x80 of the column's flags in the definition.
constexpr std::int32_t kColumnHyperlink = 16;
constexpr unsigned kStoredHyperlinkFlag = 0x80;

constexpr std::int32_t kIndexPrimary = 1;
constexpr std::int32_t kIndexUnique = 2;

// MSysRelationships.grbit bits that matter for a foreign key (the others say how Access draws the
// join).
constexpr std::int32_t kRelationNotEnforced = 0x2;
constexpr std::int32_t kRelationCascadeUpdates = 0x100;
constexpr std::int32_t kRelationCascadeDeletes = 0x1000;
constexpr std::int32_t kRelationSetNullOnDelete = 0x2000;

// The program's system-table statement (the list's greyed entries), which a catalogue run answers.
constexpr const char* kSystemTableStatement = "SELECT * FROM MSysObjects where type = 1 and flags <> 0";

// Jet error numbers the reader reports.
constexpr std::int32_t kJetNotAValidPassword = 3031; // an encrypted .accdb refused the password
constexpr std::int32_t kJetCannotOpen = 3049;
constexpr std::int32_t kJetTooFewParameters = 3061;
constexpr std::int32_t kJetSyntaxError = 3075;
constexpr std::int32_t kJetUnrecognizedFormat = 3343; // an encryption the reader cannot undo

// Exit status of a reader that reported an error record.
constexpr int kExitReported = 1;
// Exit status for a call the reader does not understand (wrong arguments).
constexpr int kExitUsage = 2;

} // namespace jetreader
