#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A source of bytes with a read position. Streams may fill their buffer on
// demand: a reader asks for `ensure(end)` before touching bytes up to `end`.
class HByteStream {
public:
    virtual ~HByteStream();

    // Total number of bytes the stream holds.
    size_t size() const { return m_size; }
    size_t position() const { return m_position; }
    void setPosition(size_t position) { m_position = position < m_size ? position : m_size; }
    bool atEnd() const { return m_position >= m_size; }

    // Makes bytes [0, end) available in data(); false when end is past size().
    // May throw HException when the underlying file cannot be read.
    bool ensure(size_t end) {
        if (end > m_size) return false;
        if (end > m_available) fill(end);
        return true;
    }
    const uint8_t* data() const { return m_data; }

protected:
    HByteStream() = default;
    // Make at least [0, end) available (end <= size()); update m_data, m_available.
    virtual void fill(size_t end) = 0;

    const uint8_t* m_data = nullptr;
    size_t m_size = 0;
    size_t m_available = 0;
    size_t m_position = 0;
};

// Bytes held in memory (written objects, tests).
class HMemoryByteStream : public HByteStream {
public:
    HMemoryByteStream(const void* bytes, size_t length);
    explicit HMemoryByteStream(std::vector<uint8_t> bytes);

protected:
    void fill(size_t) override {}

private:
    std::vector<uint8_t> m_bytes;
};

// The content of a file. Throws HException "can't open file <path>" when it
// cannot be opened and "can't read file <path>" when it cannot be read in full.
// With `lazy` the file is read in growing chunks as the reader needs them, so a
// reader that stops early reads little; otherwise it is read whole at once.
class HFileInputByteStream : public HByteStream {
public:
    explicit HFileInputByteStream(const std::string& path, bool lazy = false);
    ~HFileInputByteStream() override;

    HFileInputByteStream(const HFileInputByteStream&) = delete;
    HFileInputByteStream& operator=(const HFileInputByteStream&) = delete;

protected:
    void fill(size_t end) override;

private:
    std::string m_path;
    std::vector<uint8_t> m_buffer;
    int m_fd = -1;
};
