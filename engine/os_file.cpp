// The file calls of POSIX and of Windows behind one small class.
#include "engine/os_file.h"

#include <algorithm>
#include <cerrno>

#include "settings/korvel_error.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace korvel {

#ifdef _WIN32

namespace {

HANDLE Handle(std::intptr_t native) {
    return reinterpret_cast<HANDLE>(native);
}

// The errno value of a Windows error, as the C library maps them, so that
// the numbered I/O errors and the reasons read the same on both systems.
int ErrnoOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_BAD_PATHNAME:
            return ENOENT;
        case ERROR_INVALID_NAME:
        case ERROR_DIRECTORY:
            return EINVAL;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        case ERROR_TOO_MANY_OPEN_FILES:
            return EMFILE;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
            return EACCES;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_BROKEN_PIPE:
        case ERROR_NO_DATA:
            return EPIPE;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ENOMEM;
        default:
            return EIO;
    }
}

[[noreturn]] void ThrowLastError(IoAction action) {
    ThrowIoErrorFromErrno(ErrnoOf(GetLastError()), action);
}

// Volume serial number and file index: Windows' device and inode.
bool Identity(HANDLE file, BY_HANDLE_FILE_INFORMATION& info) {
    return GetFileInformationByHandle(file, &info) != 0;
}

// ReadFile and WriteFile take 32-bit counts.
constexpr std::size_t kMaxTransfer = std::size_t(1) << 30;

}  // namespace

bool OsFile::OpenForReading(const std::filesystem::path& path) {
    CloseQuietly();
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        errno = ErrnoOf(GetLastError());
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file) != FILE_TYPE_DISK || !Identity(file, info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        CloseHandle(file);
        errno = EINVAL;
        return false;
    }
    native_ = reinterpret_cast<std::intptr_t>(file);
    owned_ = true;
    return true;
}

void OsFile::Create(const std::filesystem::path& path) {
    CloseQuietly();
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) ThrowLastError(IoAction::Create);
    native_ = reinterpret_cast<std::intptr_t>(file);
    owned_ = true;
}

void OsFile::Borrow(int descriptor) {
    CloseQuietly();
    native_ = _get_osfhandle(descriptor);
    owned_ = false;
}

std::size_t OsFile::Read(char* buffer, std::size_t capacity) {
    DWORD n = 0;
    if (ReadFile(Handle(native_), buffer, static_cast<DWORD>(std::min(capacity, kMaxTransfer)), &n,
                 nullptr))
        return n;
    const DWORD error = GetLastError();
    if (error == ERROR_HANDLE_EOF || error == ERROR_BROKEN_PIPE) return 0;
    ThrowIoErrorFromErrno(ErrnoOf(error), IoAction::Read);
}

void OsFile::Write(const char* data, std::size_t size) {
    while (size > 0) {
        DWORD n = 0;
        if (!WriteFile(Handle(native_), data, static_cast<DWORD>(std::min(size, kMaxTransfer)), &n,
                       nullptr))
            ThrowLastError(IoAction::Write);
        data += n;
        size -= n;
    }
}

std::uint64_t OsFile::Size() const {
    LARGE_INTEGER size{};
    return GetFileSizeEx(Handle(native_), &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
}

bool OsFile::SameFileAs(const std::filesystem::path& other) const {
    if (!IsOpen()) return false;
    // No access asked for, so no program's sharing stands in the way.
    const HANDLE file =
        CreateFileW(other.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION mine{}, theirs{};
    const bool same = Identity(Handle(native_), mine) && Identity(file, theirs) &&
                      mine.dwVolumeSerialNumber == theirs.dwVolumeSerialNumber &&
                      mine.nFileIndexHigh == theirs.nFileIndexHigh &&
                      mine.nFileIndexLow == theirs.nFileIndexLow;
    CloseHandle(file);
    return same;
}

void OsFile::Close() {
    if (!IsOpen()) return;
    const HANDLE file = Handle(native_);
    const bool owned = owned_;
    native_ = kClosed;
    if (owned && !CloseHandle(file)) ThrowLastError(IoAction::Write);
}

void OsFile::CloseQuietly() {
    if (IsOpen() && owned_) CloseHandle(Handle(native_));
    native_ = kClosed;
}

#else  // POSIX

namespace {

int Descriptor(std::intptr_t native) {
    return static_cast<int>(native);
}

}  // namespace

bool OsFile::OpenForReading(const std::filesystem::path& path) {
    CloseQuietly();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int err = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        errno = err;
        return false;
    }
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    native_ = fd;
    owned_ = true;
    return true;
}

void OsFile::Create(const std::filesystem::path& path) {
    CloseQuietly();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) ThrowIoErrorFromErrno(errno, IoAction::Create);
    native_ = fd;
    owned_ = true;
}

void OsFile::Borrow(int descriptor) {
    CloseQuietly();
    native_ = descriptor;
    owned_ = false;
}

std::size_t OsFile::Read(char* buffer, std::size_t capacity) {
    for (;;) {
        const ssize_t n = ::read(Descriptor(native_), buffer, capacity);
        if (n >= 0) return static_cast<std::size_t>(n);
        if (errno != EINTR) ThrowIoErrorFromErrno(errno, IoAction::Read);
    }
}

void OsFile::Write(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(Descriptor(native_), data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowIoErrorFromErrno(errno, IoAction::Write);
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

std::uint64_t OsFile::Size() const {
    struct stat st {};
    return ::fstat(Descriptor(native_), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

bool OsFile::SameFileAs(const std::filesystem::path& other) const {
    struct stat mine {};
    struct stat theirs {};
    return IsOpen() && ::fstat(Descriptor(native_), &mine) == 0 &&
           ::stat(other.c_str(), &theirs) == 0 && mine.st_dev == theirs.st_dev &&
           mine.st_ino == theirs.st_ino;
}

void OsFile::Close() {
    if (!IsOpen()) return;
    const int fd = Descriptor(native_);
    const bool owned = owned_;
    native_ = kClosed;
    if (owned && ::close(fd) != 0) ThrowIoErrorFromErrno(errno, IoAction::Write);
}

void OsFile::CloseQuietly() {
    if (IsOpen() && owned_) ::close(Descriptor(native_));
    native_ = kClosed;
}

#endif

void AdviseHugePages([[maybe_unused]] void* block, [[maybe_unused]] std::size_t size) {
#ifdef MADV_HUGEPAGE
    madvise(block, size, MADV_HUGEPAGE);
#endif
}

}  // namespace korvel
