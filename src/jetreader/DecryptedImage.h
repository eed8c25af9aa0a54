// The decrypted image of a password-protected .accdb, for libmdb to read from memory. It lives in
// anonymous memory of the reader process only, never in a file, kept out of core dumps (and out of
// swap where the system lets the process lock it), and it is wiped before it is freed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace accdb {

// Why a file cannot be handed to libmdb: a Jet error number (JetReaderFormat.h) and its message.
struct LoadFailure
{
    std::int32_t jetError = 0; // 0: no failure
    std::string message;
};

class DecryptedImage
{
public:
    DecryptedImage() = default;
    ~DecryptedImage();
    DecryptedImage(const DecryptedImage&) = delete;
    DecryptedImage& operator=(const DecryptedImage&) = delete;

    // Looks at path's header page. An encrypted ACE file is read whole, its password checked and
    // its pages decrypted here; any other file (or one that cannot be read: libmdb says so as it
    // always has) leaves the image empty and is no failure.
    LoadFailure load(const char* path, std::string_view password);

    bool empty() const { return m_data == nullptr; }
    void* data() const { return m_data; }
    std::size_t size() const { return m_size; }

private:
    void release();

    std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
};

} // namespace accdb
