#include "File.h"

#include "Error.h"

#include <atomic>
#include <cerrno>
#include <csetjmp>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dbase {

namespace {

std::string describe(const std::string& what, const std::string& path, int err) {
    return what + " " + path + ": " + std::strerror(err);
}

bool equalIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

} // namespace

File::~File() { close(); }

File::File(File&& other) noexcept : fd_(other.fd_), path_(std::move(other.path_)) {
    other.fd_ = -1;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        path_ = std::move(other.path_);
        other.fd_ = -1;
    }
    return *this;
}

bool File::tryOpen(const std::string& path, Mode mode) {
    close();
    int flags = O_CLOEXEC;
    switch (mode) {
    case Mode::Read: flags |= O_RDONLY; break;
    case Mode::ReadWrite: flags |= O_RDWR; break;
    case Mode::CreateNew: flags |= O_RDWR | O_CREAT | O_EXCL; break;
    }
    int fd;
    do {
        fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        return false;
    }
    fd_ = fd;
    path_ = path;
    return true;
}

void File::open(const std::string& path, Mode mode) {
    if (!tryOpen(path, mode)) throw Error(describe("Cannot open", path, errno));
}

void File::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

uint64_t File::size() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) throw Error(describe("Cannot read the size of", path_, errno));
    return static_cast<uint64_t>(st.st_size);
}

size_t File::readAt(void* data, size_t length, uint64_t offset) const {
    auto* p = static_cast<char*>(data);
    size_t done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd_, p + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            throw Error(describe("Cannot read", path_, errno));
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

void File::readExact(void* data, size_t length, uint64_t offset) const {
    if (readAt(data, length, offset) != length)
        throw Error("Unexpected end of file in " + path_);
}

void File::writeAt(const void* data, size_t length, uint64_t offset) {
    const auto* p = static_cast<const char*>(data);
    size_t done = 0;
    while (done < length) {
        const ssize_t n = ::pwrite(fd_, p + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            throw Error(describe("Cannot write", path_, errno));
        }
        done += static_cast<size_t>(n);
    }
}

void File::truncate(uint64_t length) {
    if (::ftruncate(fd_, static_cast<off_t>(length)) != 0)
        throw Error(describe("Cannot change the size of", path_, errno));
}

void File::sync() {
    if (::fsync(fd_) != 0) throw Error(describe("Cannot write", path_, errno));
}

namespace {
struct flock makeLock(short type, uint64_t start, uint64_t length) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(start);
    fl.l_len = static_cast<off_t>(length);
    fl.l_pid = 0; // required for open-file-description locks
    return fl;
}
} // namespace

bool File::tryLock(uint64_t start, uint64_t length, bool exclusive) {
    struct flock fl = makeLock(exclusive ? F_WRLCK : F_RDLCK, start, length);
    while (::fcntl(fd_, F_OFD_SETLK, &fl) != 0) {
        if (errno == EINTR) continue;
        if (errno == EACCES || errno == EAGAIN) return false;
        throw Error(describe("Cannot lock", path_, errno));
    }
    return true;
}

void File::waitLock(uint64_t start, uint64_t length, bool exclusive) {
    struct flock fl = makeLock(exclusive ? F_WRLCK : F_RDLCK, start, length);
    while (::fcntl(fd_, F_OFD_SETLKW, &fl) != 0) {
        if (errno == EINTR) continue;
        throw Error(describe("Cannot lock", path_, errno));
    }
}

void File::unlock(uint64_t start, uint64_t length) {
    struct flock fl = makeLock(F_UNLCK, start, length);
    ::fcntl(fd_, F_OFD_SETLK, &fl);
}

namespace {

// A read from a mapped page that the file no longer has raises SIGBUS. While copy() runs, the
// handler jumps back into it; any other SIGBUS goes on to the handler that was there before.
// volatile: the compiler must not drop or move the stores around the copy, which it may do
// for a plain variable that the copy itself does not read.
thread_local sigjmp_buf* volatile t_copyJump = nullptr;
struct sigaction g_previousBus {};

void onBusError(int signal, siginfo_t* info, void* context) {
    if (t_copyJump) siglongjmp(*t_copyJump, 1);
    if (g_previousBus.sa_flags & SA_SIGINFO) {
        g_previousBus.sa_sigaction(signal, info, context);
    } else if (g_previousBus.sa_handler != SIG_IGN && g_previousBus.sa_handler != SIG_DFL) {
        g_previousBus.sa_handler(signal);
    } else {
        ::sigaction(SIGBUS, &g_previousBus, nullptr);
        ::raise(signal);
    }
}

void installBusHandler() {
    static const bool installed = [] {
        struct sigaction action {};
        action.sa_sigaction = onBusError;
        // Not blocked while handled, so that jumping out of the handler leaves the signal mask
        // as it was without saving it on every copy.
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        return ::sigaction(SIGBUS, &action, &g_previousBus) == 0;
    }();
    (void)installed;
}

} // namespace

bool Mapping::copy(void* to, uint64_t offset, size_t length) const {
    if (!data_ || offset + length > length_) return false;
    sigjmp_buf jump;
    if (sigsetjmp(jump, 0) != 0) {
        t_copyJump = nullptr;
        return false;
    }
    t_copyJump = &jump;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    std::memcpy(to, data_ + offset, length);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    t_copyJump = nullptr;
    return true;
}

bool Mapping::map(const File& file, uint64_t length) {
    installBusHandler();
    reset();
    if (!file.isOpen() || length == 0) return false;
    void* p = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, file.descriptor(), 0);
    if (p == MAP_FAILED) return false;
    data_ = static_cast<const char*>(p);
    length_ = length;
    return true;
}

void Mapping::reset() {
    if (data_) ::munmap(const_cast<char*>(data_), length_);
    data_ = nullptr;
    length_ = 0;
}

std::optional<std::string> findFileIgnoringCase(const std::string& folder, const std::string& name) {
    namespace fs = std::filesystem;
    const fs::path dir = folder.empty() ? fs::path(".") : fs::path(folder);
    std::error_code ec;
    if (fs::is_regular_file(dir / name, ec)) return folder + name;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (equalIgnoringCase(entry, name) && it->is_regular_file(ec)) return folder + entry;
    }
    return std::nullopt;
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string tableNameOf(const std::string& path) {
    std::string name = path.substr(folderOf(path).size());
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace dbase
