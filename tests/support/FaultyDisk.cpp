#include "FaultyDisk.h"

#include <sqlite3.h>

#include <atomic>
#include <cstdlib>

namespace quillory::test {

namespace {

sqlite3_vfs *realVfs = nullptr;
sqlite3_vfs faultyVfs;
std::atomic<bool> readOnly{false};
std::atomic<bool> full{false};
std::atomic<bool> noSharedMemory{false};
std::atomic<bool> installed{false};
std::atomic<int> refused{0};

// Each kind of file the real VFS opens has its methods table; the faulty copy of it differs
// only in writing. The file itself is the real one, so every other method works unchanged.
struct Methods
{
    const sqlite3_io_methods *real = nullptr;
    sqlite3_io_methods faulty = {};
};
Methods methodTables[8];

int faultyWrite(sqlite3_file *file, const void *buffer, int amount, sqlite3_int64 offset)
{
    if (full) {
        ++refused;
        return SQLITE_FULL;
    }
    for (const Methods &m : methodTables) {
        if (&m.faulty == file->pMethods)
            return m.real->xWrite(file, buffer, amount, offset);
    }
    return SQLITE_IOERR_WRITE;
}

int faultyShmMap(sqlite3_file *file, int region, int size, int extend, void volatile **out)
{
    if (noSharedMemory)
        return SQLITE_CANTOPEN; // as where the -shm index cannot be created
    for (const Methods &m : methodTables) {
        if (&m.faulty == file->pMethods)
            return m.real->xShmMap(file, region, size, extend, out);
    }
    return SQLITE_IOERR_SHMMAP;
}

const sqlite3_io_methods *faultyCopyOf(const sqlite3_io_methods *real)
{
    for (Methods &m : methodTables) {
        if (m.real == real || m.real == nullptr) {
            m.real = real;
            m.faulty = *real;
            m.faulty.xWrite = faultyWrite;
            if (real->iVersion >= 2 && real->xShmMap != nullptr)
                m.faulty.xShmMap = faultyShmMap;
            return &m.faulty;
        }
    }
    return real;
}

int vfsOpen(sqlite3_vfs *, sqlite3_filename name, sqlite3_file *file, int flags, int *outFlags)
{
    // As on a read-only mount: what exists opens read-only, nothing new can be made.
    if (readOnly && (flags & SQLITE_OPEN_READWRITE) != 0)
        flags = (flags & ~(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)) | SQLITE_OPEN_READONLY;
    const int rc = realVfs->xOpen(realVfs, name, file, flags, outFlags);
    if (file->pMethods != nullptr)
        file->pMethods = faultyCopyOf(file->pMethods);
    return rc;
}

int vfsAccess(sqlite3_vfs *, const char *name, int flags, int *out)
{
    const int rc = realVfs->xAccess(realVfs, name, flags, out);
    if (rc == SQLITE_OK && readOnly && flags == SQLITE_ACCESS_READWRITE)
        *out = 0;
    return rc;
}

} // namespace

FaultyDisk::FaultyDisk()
{
    // One at a time: a second would take the first for the real file system.
    if (installed.exchange(true))
        std::abort();
    // Everything but opening and the access test is the real VFS's own.
    realVfs = sqlite3_vfs_find(nullptr);
    faultyVfs = *realVfs;
    faultyVfs.pNext = nullptr;
    faultyVfs.zName = "quillory-faulty-disk";
    faultyVfs.xOpen = vfsOpen;
    faultyVfs.xAccess = vfsAccess;
    readOnly = false;
    full = false;
    refused = 0;
    sqlite3_vfs_register(&faultyVfs, 1);
}

FaultyDisk::~FaultyDisk()
{
    // Connections still open on it go on passing everything through, without faults.
    readOnly = false;
    full = false;
    noSharedMemory = false;
    sqlite3_vfs_unregister(&faultyVfs);
    sqlite3_vfs_register(realVfs, 1);
    installed = false;
}

void FaultyDisk::setReadOnly(bool on)
{
    readOnly = on;
}

void FaultyDisk::setFull(bool on)
{
    full = on;
}

void FaultyDisk::setNoSharedMemory(bool on)
{
    noSharedMemory = on;
}

int FaultyDisk::refusedWrites() const
{
    return refused;
}

} // namespace quillory::test
