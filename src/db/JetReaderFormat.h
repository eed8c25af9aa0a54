// What orvane-jet-reader writes to its standard output, shared by the reader and the program that
// starts it. libmdb is not safe on damaged files, so it runs only in that separate program; this
// is the whole of what crosses between the two.
//
// Invocation:  orvane-jet-reader catalogue|query FILE [--time-limit SECONDS] [--memory-limit MIB]
// Standard input: the database password on the first line (taken for files whose pages are
// encrypted; a plain file's password is checked by the caller), then, for "query", one SELECT
// statement. Nothing secret ever stands in the arguments or the environment.
//
// Output, version 2. Integers are 32-bit little-endian; a string is its byte count followed by
// that many bytes of UTF-8.
//   u32 kJetReaderMagic, u32 kJetReaderVersion
//   then records, each opened by a u32 tag:
//     kTagTable   string name, i32 MSysObjects.Flags, u32 column count, and per column:
//                 string name, i32 type code, i32 stored size in bytes, i32 flags (kColumn*),
//                 i32 precision, i32 scale
//     kTagLink    (catalogue) a linked table: string name, i32 MSysObjects.Type (kLinkJet or
//                 kLinkOdbc), i32 MSysObjects.Flags, string ForeignName, string Database,
//                 string Connect (may hold the back-end's password: ";PWD=...")
//     kTagColumns (query) u32 count, then that many strings: the result's field names
//     kTagRow     (query) as many strings as there are fields
//     kTagError   i32 Jet error number, string message (may be empty); the reader then exits 1
//     kTagEnd     u32 number of table, link or row records sent before it; the reader then exits 0
// Tables, then links, come in the catalogue's own order (the caller sorts). A link's columns live
// in another file, which the caller reads with a reader of its own. Anything else, a missing end
// record, or a count that disagrees means the file made the reader fail: "may be corrupt".
#pragma once

#include <cstdint>

namespace jetreader {

constexpr std::uint32_t kJetReaderMagic = 0x444A524F; // "ORJD"
constexpr std::uint32_t kJetReaderVersion = 2;

constexpr std::uint32_t kTagTable = 0x4C424154;   // "TABL"
constexpr std::uint32_t kTagColumns = 0x534C4F43; // "COLS"
constexpr std::uint32_t kTagRow = 0x20574F52;     // "ROW "
constexpr std::uint32_t kTagError = 0x20525245;   // "ERR "
constexpr std::uint32_t kTagEnd = 0x20444E45;     // "END "
constexpr std::uint32_t kTagLink = 0x4B4E494C;    // "LINK"

// MSysObjects.Type of the linked tables.
constexpr std::int32_t kLinkOdbc = 4; // a table of an ODBC data source
constexpr std::int32_t kLinkJet = 6;  // a table of another Access file

constexpr std::int32_t kColumnFixed = 1;
constexpr std::int32_t kColumnAutoLong = 2;
constexpr std::int32_t kColumnAutoGuid = 4;

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
