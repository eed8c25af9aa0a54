// The header page of a Jet/ACE database file: the checks that decide whether a file may be handed
// to the Jet reader at all, and the database password kept (masked) in the header.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

struct JetFileHeader
{
    int version = 0;  // 0 Jet 3, 1 Jet 4, 2 and above ACE
    int pageSize = 0; // 2048 for Jet 3, 4096 otherwise
    std::uint16_t codePage = 0;
    std::uint32_t databaseKey = 0; // non-zero: pages are encoded (the reader decodes them)
    QByteArray passwordBytes;      // the stored password as it is after unmasking, cut at its end
    QString password;              // the stored password as text; empty when there is none

    bool isJet3() const { return version == 0; }
    bool isAce() const { return version >= 2; }
};

// Reads the header from the first page of a file of fileSize bytes. False when the bytes are not a
// Jet or ACE header this program can read (wrong signature, version or page size, or a file length
// that is no whole number of pages or too short to hold a catalogue).
bool ParseJetHeader(const QByteArray& firstPage, std::int64_t fileSize, JetFileHeader& header);

// Whether firstPage is the whole header page of an ACE file whose pages are encrypted (a non-zero
// database key: a password-protected .accdb), whatever the file's length.
bool IsEncryptedAceHeader(const QByteArray& firstPage);

// Whether candidate is the database password stored in header, compared as Jet compares it: exact
// and case-sensitive, up to the 20 bytes (Jet 3, in the file's code page) or 20 UTF-16 units (Jet 4)
// the field holds. A file without a password accepts only the empty text.
bool JetPasswordMatches(const JetFileHeader& header, const QString& candidate);

// Applies the fixed RC4 mask of the header to region [0x18, 0x18 + 126 or 128) of page in place;
// masking twice restores the original, so the same call reads and writes a header.
void ApplyJetHeaderMask(QByteArray& page, bool jet3);
