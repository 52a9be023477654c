// KERNEL32 as the game uses it: resources embedded at build time, files by
// path (relative ones found as data_path.h says), memory blocks, events and waits.
#include <windows.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/host/host.h"
#include "platform/kernel/data_path.h"
#include "platform/kernel/kernel_internal.h"
#include "platform/kernel/resources.h"
#include "platform/trace/boundary.h"
#include "platform/trace/trace.h"

// The calls of this file that tests can fail, by the names they are logged under.
namespace {
const platform::FaultPoint kCreateEventA("CreateEventA");
const platform::FaultPoint kCreateFileA("CreateFileA");
const platform::FaultPoint kFindResourceA("FindResourceA");
const platform::FaultPoint kGetFileSize("GetFileSize");
const platform::FaultPoint kSetFilePointer("SetFilePointer");
const platform::FaultPoint kWaitForSingleObject("WaitForSingleObject");
const platform::FaultPoint kGlobalAlloc("GlobalAlloc");
const platform::FaultPoint kLocalAlloc("LocalAlloc");
const platform::FaultPoint kReadFile("ReadFile");
}  // namespace

namespace platform {
namespace {

thread_local DWORD lastError = 0;

// A failure a test armed for the call: the call fails, and its code is the
// thread's last error.
bool FailsWithLastError(const FaultPoint& point) {
    std::int32_t fault;
    if (!point.Fails(fault)) return false;
    lastError = static_cast<DWORD>(fault);
    return true;
}
std::span<const EmbeddedResource> resources;

// Every kernel object handle points at one of these; the tag tells a live
// object of the right kind from anything else handed to CloseHandle.
enum class Kind : std::uint32_t { File = 0x46494C45, Event = 0x45564E54, Dead = 0 };

struct Object {
    Kind kind;
    explicit Object(Kind k) : kind(k) {}
    virtual ~Object() { kind = Kind::Dead; }
};

struct File final : Object {
    std::FILE* stream;
    // A pipe or character device: read as far as it has bytes now, never
    // waited on, and without a size (Windows sizes only disk files).
    bool device;
    File(std::FILE* f, bool isDevice) : Object(Kind::File), stream(f), device(isDevice) {}
    ~File() override { std::fclose(stream); }
};

struct Event final : Object {
    std::mutex lock;
    std::condition_variable changed;
    bool manualReset;
    bool signalled;
    Event(bool manual, bool initial) : Object(Kind::Event), manualReset(manual), signalled(initial) {}
};

std::mutex objectsLock;
std::vector<Object*> liveObjects;

// Takes `o` (from a nothrow new) into the handle table; out of memory for
// either, the object is gone and the answer is null.
HANDLE Track(Object* o) {
    if (!o) throw std::bad_alloc();
    try {
        std::lock_guard guard(objectsLock);
        liveObjects.push_back(o);
    } catch (...) {
        delete o;
        throw;
    }
    return o;
}

template <typename T>
T* Find(HANDLE h, Kind kind) {
    std::lock_guard guard(objectsLock);
    for (Object* o : liveObjects)
        if (o == h && o->kind == kind) return static_cast<T*>(o);
    return nullptr;
}

bool NameMatches(const ResourceName& want, LPCSTR given) {
    if (IS_INTRESOURCE(given)) return want.id == static_cast<int>(reinterpret_cast<std::uintptr_t>(given));
    if (given[0] == '#') return want.id == std::atoi(given + 1);
    return want.text && lstrcmpiA(want.text, given) == 0;
}

// Memory blocks carry their size in front so GlobalSize can answer.
struct BlockHeader {
    std::size_t size;
    std::size_t pad;
};

HGLOBAL AllocBlock(UINT flags, SIZE_T bytes) {
    auto* header = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + (bytes ? bytes : 1)));
    if (!header) {
        lastError = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    header->size = bytes;
    if (flags & GMEM_ZEROINIT) std::memset(header + 1, 0, bytes);
    return header + 1;
}

void FreeBlock(HGLOBAL block) {
    if (block) std::free(static_cast<BlockHeader*>(block) - 1);
}

}  // namespace

void RegisterResources(std::span<const EmbeddedResource> table) { resources = table; }

void kernel::ResetForTests() {
    std::vector<Object*> open;
    {
        std::lock_guard guard(objectsLock);
        open.swap(liveObjects);
    }
    for (Object* o : open) delete o;
    lastError = 0;
}
std::span<const EmbeddedResource> RegisteredResources() { return resources; }

namespace {
std::atomic<std::uint16_t> fixedLanguage{0};
}

std::uint16_t LanguageFromLocale(const char* lcAll, const char* lcMessages, const char* lang) {
    const char* locale = nullptr;
    for (const char* v : {lcAll, lcMessages, lang})
        if (v && *v) {
            locale = v;
            break;
        }
    if (locale && (locale[0] == 'j' || locale[0] == 'J') && (locale[1] == 'a' || locale[1] == 'A'))
        return kLanguageJapanese;
    return kLanguageEnglishUs;
}

void SetUiLanguage(std::uint16_t language) { fixedLanguage = language; }

std::uint16_t UiLanguage() {
    if (std::uint16_t fixed = fixedLanguage) return fixed;
    return LanguageFromLocale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
}

}  // namespace platform

using namespace platform;

static int moduleTag;

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
    if (lpModuleName) return nullptr;
    return reinterpret_cast<HMODULE>(&moduleTag);
}

HRSRC WINAPI FindResourceExA(HMODULE, LPCSTR lpType, LPCSTR lpName, WORD wLanguage) {
    kFindResourceA.Trace();
    if (!lpType || !lpName) return nullptr;
    if (FailsWithLastError(kFindResourceA)) return nullptr;
    // Of the languages a resource comes in, the one asked for; with none
    // asked for (FindResourceA), as Windows chooses: the user's UI language,
    // then its primary language, then language-neutral, then U.S. English,
    // then whichever comes first.
    const EmbeddedResource* best = nullptr;
    int bestRank = 99;
    const std::uint16_t ui = wLanguage ? wLanguage : UiLanguage();
    for (const auto& r : RegisteredResources()) {
        if (!NameMatches(r.type, lpType) || !NameMatches(r.name, lpName)) continue;
        int rank = r.language == ui                                 ? 0
                   : (r.language & 0x3FF) == (ui & 0x3FF)           ? 1
                   : r.language == 0                                ? 2
                   : r.language == kLanguageEnglishUs && !wLanguage ? 3
                                                                    : 4;
        if (rank < bestRank) {
            best = &r;
            bestRank = rank;
        }
    }
    if (best) return reinterpret_cast<HRSRC>(const_cast<EmbeddedResource*>(best));
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType) {
    return FindResourceExA(hModule, lpType, lpName, 0);
}

HGLOBAL WINAPI LoadResource(HMODULE, HRSRC hResInfo) {
    if (!hResInfo) return nullptr;
    // Resource data stays mapped for the life of the module, as on Windows.
    return reinterpret_cast<HGLOBAL>(hResInfo);
}

LPVOID WINAPI LockResource(HGLOBAL hResData) {
    if (!hResData) return nullptr;
    return const_cast<std::uint8_t*>(static_cast<const EmbeddedResource*>(hResData)->data);
}

DWORD WINAPI SizeofResource(HMODULE, HRSRC hResInfo) {
    if (!hResInfo) return 0;
    return static_cast<DWORD>(reinterpret_cast<const EmbeddedResource*>(hResInfo)->size);
}

BOOL WINAPI FreeResource(HGLOBAL) { return FALSE; }

static HANDLE OpenFileHandle(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwCreationDisposition) {
    kCreateFileA.Trace();
    if (!lpFileName || !*lpFileName) {
        lastError = ERROR_FILE_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    if (FailsWithLastError(kCreateFileA)) return INVALID_HANDLE_VALUE;
    std::string path = HostPath(lpFileName);
    bool write = (dwDesiredAccess & GENERIC_WRITE) != 0;
    // Only a file opened to be read is looked for beyond the working folder;
    // one written goes where the program said.
    if (!write && dwCreationDisposition == OPEN_EXISTING) path = FindDataFile(path);
    bool create = dwCreationDisposition == CREATE_ALWAYS;
    int flags = create ? O_RDWR | O_CREAT | O_TRUNC : write ? O_RDWR : O_RDONLY;
    bool regular = false;
    int fd = OpenHostFile(path, flags, regular);
    std::FILE* f = fd < 0 ? nullptr : fdopen(fd, create || write ? "r+b" : "rb");
    if (!f) {
        // A directory is refused as Windows refuses one opened as a file; a
        // socket cannot be opened at all (ENXIO), like a name of nothing.
        int error = errno;
        if (fd >= 0) close(fd);
        lastError = error == EISDIR || error == EACCES || error == EPERM || error == EROFS ? ERROR_ACCESS_DENIED
                    : error == ENOTDIR                                                     ? ERROR_PATH_NOT_FOUND
                                                                                           : ERROR_FILE_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    File* file = new (std::nothrow) File(f, !regular);
    if (!file) std::fclose(f);
    return Track(file);
}

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD, LPSECURITY_ATTRIBUTES,
                          DWORD dwCreationDisposition, DWORD, HANDLE) {
    return platform::FailWithoutMemory(INVALID_HANDLE_VALUE, ERROR_NOT_ENOUGH_MEMORY, [&] {
        return OpenFileHandle(lpFileName, dwDesiredAccess, dwCreationDisposition);
    });
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPOVERLAPPED) {
    kReadFile.Trace();
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
    File* f = Find<File>(hFile, Kind::File);
    if (!f || (!lpBuffer && nNumberOfBytesToRead)) {
        lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    if (FailsWithLastError(kReadFile)) return FALSE;
    if (f->device) {
        // What the pipe or device holds now; an empty pipe that would make
        // the reader wait answers as a pipe in no-wait mode does.
        ssize_t got = nNumberOfBytesToRead ? read(fileno(f->stream), lpBuffer, nNumberOfBytesToRead) : 0;
        if (got < 0) {
            lastError = errno == EAGAIN ? ERROR_NO_DATA : ERROR_INVALID_HANDLE;
            return FALSE;
        }
        if (lpNumberOfBytesRead) *lpNumberOfBytesRead = static_cast<DWORD>(got);
        return TRUE;
    }
    std::size_t got = nNumberOfBytesToRead ? std::fread(lpBuffer, 1, nNumberOfBytesToRead, f->stream) : 0;
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = static_cast<DWORD>(got);
    // Reading at the end of a file succeeds with fewer (or no) bytes, as on Windows.
    return std::ferror(f->stream) ? FALSE : TRUE;
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD n, LPDWORD lpWritten, LPOVERLAPPED) {
    if (lpWritten) *lpWritten = 0;
    File* f = Find<File>(hFile, Kind::File);
    if (!f) {
        lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    std::size_t put = std::fwrite(lpBuffer, 1, n, f->stream);
    if (lpWritten) *lpWritten = static_cast<DWORD>(put);
    return put == n ? TRUE : FALSE;
}

DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
    kGetFileSize.Trace();
    File* f = Find<File>(hFile, Kind::File);
    if (!f) {
        lastError = ERROR_INVALID_HANDLE;
        return INVALID_FILE_SIZE;
    }
    if (FailsWithLastError(kGetFileSize)) return INVALID_FILE_SIZE;
    if (lpFileSizeHigh) *lpFileSizeHigh = 0;
    if (f->device) return 0;
    long here = std::ftell(f->stream);
    std::fseek(f->stream, 0, SEEK_END);
    long size = std::ftell(f->stream);
    std::fseek(f->stream, here, SEEK_SET);
    return static_cast<DWORD>(size);
}

DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, LPLONG lpDistanceToMoveHigh, DWORD dwMoveMethod) {
    kSetFilePointer.Trace();
    File* f = Find<File>(hFile, Kind::File);
    if (!f) {
        lastError = ERROR_INVALID_HANDLE;
        return INVALID_SET_FILE_POINTER;
    }
    if (FailsWithLastError(kSetFilePointer)) return INVALID_SET_FILE_POINTER;
    if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = 0;
    int whence = dwMoveMethod == FILE_CURRENT ? SEEK_CUR : dwMoveMethod == FILE_END ? SEEK_END : SEEK_SET;
    if (std::fseek(f->stream, lDistanceToMove, whence) != 0) {
        lastError = ERROR_INVALID_PARAMETER;
        return INVALID_SET_FILE_POINTER;
    }
    return static_cast<DWORD>(std::ftell(f->stream));
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
    Object* o = nullptr;
    {
        std::lock_guard guard(objectsLock);
        for (auto it = liveObjects.begin(); it != liveObjects.end(); ++it) {
            if (*it == hObject) {
                o = *it;
                liveObjects.erase(it);
                break;
            }
        }
    }
    if (!o) {
        lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    delete o;
    return TRUE;
}

HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
    kGlobalAlloc.Trace();
    if (FailsWithLastError(kGlobalAlloc)) return nullptr;
    return AllocBlock(uFlags, dwBytes);
}
HGLOBAL WINAPI GlobalFree(HGLOBAL hMem) {
    FreeBlock(hMem);
    return nullptr;
}
LPVOID WINAPI GlobalLock(HGLOBAL hMem) { return hMem; }
BOOL WINAPI GlobalUnlock(HGLOBAL) { return FALSE; }
SIZE_T WINAPI GlobalSize(HGLOBAL hMem) { return hMem ? (static_cast<BlockHeader*>(hMem) - 1)->size : 0; }

HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes) {
    kLocalAlloc.Trace();
    if (FailsWithLastError(kLocalAlloc)) return nullptr;
    return AllocBlock(uFlags, uBytes);
}
HLOCAL WINAPI LocalFree(HLOCAL hMem) {
    FreeBlock(hMem);
    return nullptr;
}
LPVOID WINAPI LocalLock(HLOCAL hMem) { return hMem; }
BOOL WINAPI LocalUnlock(HLOCAL) { return FALSE; }

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCSTR) {
    kCreateEventA.Trace();
    if (FailsWithLastError(kCreateEventA)) return nullptr;
    return platform::FailWithoutMemory<HANDLE>(nullptr, ERROR_NOT_ENOUGH_MEMORY, [&] {
        return Track(new (std::nothrow) Event(bManualReset != 0, bInitialState != 0));
    });
}

BOOL WINAPI SetEvent(HANDLE hEvent) {
    Event* e = Find<Event>(hEvent, Kind::Event);
    if (!e) return FALSE;
    {
        std::lock_guard guard(e->lock);
        e->signalled = true;
    }
    e->changed.notify_all();
    return TRUE;
}

BOOL WINAPI ResetEvent(HANDLE hEvent) {
    Event* e = Find<Event>(hEvent, Kind::Event);
    if (!e) return FALSE;
    std::lock_guard guard(e->lock);
    e->signalled = false;
    return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    kWaitForSingleObject.Trace();
    Event* e = Find<Event>(hHandle, Kind::Event);
    if (!e) {
        lastError = ERROR_INVALID_HANDLE;
        return WAIT_FAILED;
    }
    if (FailsWithLastError(kWaitForSingleObject)) return WAIT_FAILED;
    std::unique_lock guard(e->lock);
    auto ready = [&] { return e->signalled; };
    bool got;
    // Without threads whoever sets the event runs on this thread, inside the
    // host's wait: even an endless wait must go through it.
    if (dwMilliseconds == INFINITE && host::HasThreads()) {
        e->changed.wait(guard, ready);
        got = true;
    } else {
        got = host::WaitFor(guard, e->changed, ready, dwMilliseconds);
    }
    if (!got) return WAIT_TIMEOUT;
    if (!e->manualReset) e->signalled = false;
    return WAIT_OBJECT_0;
}

void WINAPI Sleep(DWORD dwMilliseconds) { host::Sleep(dwMilliseconds); }
DWORD WINAPI GetTickCount(void) { return host::Milliseconds(); }
DWORD WINAPI GetLastError(void) { return lastError; }
void WINAPI SetLastError(DWORD dwErrCode) { lastError = dwErrCode; }
void WINAPI OutputDebugStringA(LPCSTR) {}

int WINAPI lstrlenA(LPCSTR lpString) { return lpString ? static_cast<int>(std::strlen(lpString)) : 0; }
LPSTR WINAPI lstrcpyA(LPSTR a, LPCSTR b) {
    if (!a || !b) return nullptr;
    return std::strcpy(a, b);
}
LPSTR WINAPI lstrcpynA(LPSTR a, LPCSTR b, int n) {
    if (!a || !b || n <= 0) return a;
    int i = 0;
    for (; i < n - 1 && b[i]; ++i) a[i] = b[i];
    a[i] = 0;
    return a;
}
int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b) {
    if (!a || !b) return a ? 1 : (b ? -1 : 0);
    for (;; ++a, ++b) {
        int x = (*a >= 'A' && *a <= 'Z') ? *a + 32 : static_cast<unsigned char>(*a);
        int y = (*b >= 'A' && *b <= 'Z') ? *b + 32 : static_cast<unsigned char>(*b);
        if (x != y || !x) return x < y ? -1 : x > y ? 1 : 0;
    }
}
int WINAPI MulDiv(int nNumber, int nNumerator, int nDenominator) {
    if (nDenominator == 0) return -1;
    long long p = static_cast<long long>(nNumber) * nNumerator;
    long long q = p / nDenominator, r = p % nDenominator;
    if (2 * (r < 0 ? -r : r) >= (nDenominator < 0 ? -nDenominator : nDenominator))
        q += ((p < 0) != (nDenominator < 0)) ? -1 : 1;
    return static_cast<int>(q);
}
