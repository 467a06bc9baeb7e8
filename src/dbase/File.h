#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace dbase {

// Byte ranges locked by dBASE programs that share a table. Locks are open-file-description
// locks: they belong to one open of the file, so two tables of one process exclude each other
// as two processes do, and closing another descriptor of the file does not drop them.
namespace lock_range {
constexpr uint64_t kWholeFileStart = 0x40000000; // exclusive use: a write lock on all of it
constexpr uint64_t kWholeFileLength = 0xB0000000;
constexpr uint64_t kOpenMarker = 0x40000000;     // shared use: a read lock on this one byte
constexpr uint64_t kHeader = 0xEFFFFFFE;         // header and appending: these two bytes
constexpr uint64_t kHeaderLength = 2;
constexpr uint64_t kMdx = 0xEFFFFFFE;            // in the .MDX file
// Record n (1-based) is locked at one byte below the header.
constexpr uint64_t record(uint32_t recno) { return 0xEFFFFFFEull - recno; }
} // namespace lock_range

// An open file with positioned reads and writes that report every failure as dbase::Error.
class File {
public:
    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    enum class Mode { Read, ReadWrite, CreateNew };
    // Throws dbase::Error naming the path when the file cannot be opened.
    void open(const std::string& path, Mode mode);
    // Like open, but returns false instead of throwing.
    bool tryOpen(const std::string& path, Mode mode);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    int descriptor() const { return fd_; }
    const std::string& path() const { return path_; }
    void setPath(std::string path) { path_ = std::move(path); } // after a rename

    uint64_t size() const;
    // Reads up to length bytes; returns how many were read (fewer at the end of the file).
    size_t readAt(void* data, size_t length, uint64_t offset) const;
    void readExact(void* data, size_t length, uint64_t offset) const;
    void writeAt(const void* data, size_t length, uint64_t offset);
    void truncate(uint64_t length);
    void sync();

    bool tryLock(uint64_t start, uint64_t length, bool exclusive);
    void waitLock(uint64_t start, uint64_t length, bool exclusive);
    void unlock(uint64_t start, uint64_t length);

private:
    int fd_ = -1;
    std::string path_;
};

// A read-only view of the first `length` bytes of an open file, shared with its writers: what
// anyone writes through the file is seen here at once. Copy out of it with copy(): a page that
// is gone because another program cut the file makes copy() return false instead of killing
// the process, as touching such a page does.
class Mapping {
public:
    Mapping() = default;
    ~Mapping() { reset(); }
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;

    // Maps the file; false (and nothing mapped) when the system refuses.
    bool map(const File& file, uint64_t length);
    void reset();
    const char* data() const { return data_; }
    uint64_t length() const { return length_; }
    // Copies bytes at offset (within length()); false when the file no longer holds them.
    bool copy(void* to, uint64_t offset, size_t length) const;

private:
    const char* data_ = nullptr;
    uint64_t length_ = 0;
};

// The file in folder named `name`: the exact name if it exists, otherwise the first entry whose
// name matches without regard to ASCII case. nullopt when there is none.
std::optional<std::string> findFileIgnoringCase(const std::string& folder, const std::string& name);

// The folder part of a path, with its trailing "/" ("" for a bare name).
std::string folderOf(const std::string& path);

// The file name of a table's path without its extension: "/data/home.2024.DBF" gives
// "home.2024". The production index is this name with ".MDX" in the same folder.
std::string tableNameOf(const std::string& path);

// Makes the rename of a file in this folder durable.
void syncFolder(const std::string& folder);

} // namespace dbase
