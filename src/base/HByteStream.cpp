#include "base/HByteStream.h"

#include "base/HException.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

HByteStream::~HByteStream() = default;

HMemoryByteStream::HMemoryByteStream(const void* bytes, size_t length)
    : m_bytes(static_cast<const uint8_t*>(bytes), static_cast<const uint8_t*>(bytes) + length) {
    m_data = m_bytes.data();
    m_size = m_available = m_bytes.size();
}

HMemoryByteStream::HMemoryByteStream(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {
    m_data = m_bytes.data();
    m_size = m_available = m_bytes.size();
}

HFileInputByteStream::HFileInputByteStream(const std::string& path, bool lazy) : m_path(path) {
    m_fd = ::open(path.c_str(), O_RDONLY);
    if (m_fd < 0) throw HException("can't open file " + path);
    struct stat st;
    // Only regular files have a meaningful size to read.
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(m_fd);
        m_fd = -1;
        throw HException("can't read file " + path);
    }
    m_size = size_t(st.st_size);
    if (!lazy || m_size == 0) fill(m_size);
}

HFileInputByteStream::~HFileInputByteStream() {
    if (m_fd >= 0) ::close(m_fd);
}

void HFileInputByteStream::fill(size_t end) {
    // Grow geometrically so a reader that walks the whole file reads it in few calls.
    static const size_t FirstChunk = 16384;
    size_t want = end;
    if (want < 2 * m_available) want = 2 * m_available;
    if (want < FirstChunk) want = FirstChunk;
    if (want > m_size) want = m_size;
    m_buffer.resize(want);
    while (m_available < want) {
        const ssize_t n = ::read(m_fd, m_buffer.data() + m_available, want - m_available);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ::close(m_fd);
            m_fd = -1;
            throw HException("can't read file " + m_path);
        }
        m_available += size_t(n);
    }
    m_data = m_buffer.data();
    if (m_available == m_size && m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}
