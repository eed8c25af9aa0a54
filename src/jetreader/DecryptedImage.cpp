#include "DecryptedImage.h"

#include "AccdbCrypto.h"
#include "JetReaderFormat.h"

#include <cryptopp/misc.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace accdb {
namespace {

using namespace jetreader;

// Reads size bytes at offset; false when the file ends before or reading fails.
bool readAt(int fd, std::uint8_t* into, std::size_t size, off_t offset)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, into + done, size - done, offset + off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

struct FileCloser
{
    int fd;
    ~FileCloser()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

DecryptedImage::~DecryptedImage()
{
    release();
}

void DecryptedImage::release()
{
    if (!m_data)
        return;
    CryptoPP::SecureWipeBuffer(m_data, m_size);
    ::munlock(m_data, m_size);
    ::munmap(m_data, m_size);
    m_data = nullptr;
    m_size = 0;
}

LoadFailure DecryptedImage::load(const char* path, std::string_view password)
{
    release();
    FileCloser file{::open(path, O_RDONLY | O_CLOEXEC)};
    struct stat st;
    if (file.fd < 0 || ::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    std::uint8_t header[kPageSize];
    const std::size_t size = std::size_t(st.st_size);
    if (size < kPageSize || !readAt(file.fd, header, kPageSize, 0) || !IsEncryptedAce(header, kPageSize))
        return {};
    if (size < 3 * kPageSize || size % kPageSize != 0)
        return {kJetCannotOpen, "the encrypted file is not a whole number of pages"};

    void* memory = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return {kJetCannotOpen, "no memory for the decrypted file"};
    m_data = static_cast<std::uint8_t*>(memory);
    m_size = size;
    ::madvise(m_data, m_size, MADV_DONTDUMP);
    // Best effort: an unprivileged process may lock only a little.
    ::mlock(m_data, m_size);
    if (!readAt(file.fd, m_data, size, 0)) {
        release();
        return {kJetCannotOpen, "the file could not be read whole"};
    }

    const Result r = DecryptImage(m_data, m_size, password);
    switch (r.status) {
    case Status::Ok:
        return {};
    case Status::WrongPassword:
        release();
        return {kJetNotAValidPassword, "Not a valid password."};
    case Status::Unsupported:
        release();
        return {kJetUnrecognizedFormat, "Unrecognized database format '" + std::string(path) +
                                            "': it is protected by " + r.detail +
                                            ", an encryption this program cannot read."};
    case Status::Damaged:
        break;
    }
    release();
    return {kJetCannotOpen, r.detail};
}

} // namespace accdb
