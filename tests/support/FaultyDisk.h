#pragma once

namespace quillory::test {

// A disk that can be made to fail, for testing what the store does when its file cannot be
// written: while one exists, SQLite reaches files through it (it is the default VFS), and it
// passes everything to the real file system except what the test turns on. A read-only disk
// opens every file read-only, as the system does for a read-only mount or a file the user
// may not write; a full disk refuses every write with SQLITE_FULL, as ENOSPC does.
class FaultyDisk final
{
public:
    FaultyDisk();
    ~FaultyDisk();
    FaultyDisk(const FaultyDisk &) = delete;
    FaultyDisk &operator=(const FaultyDisk &) = delete;

    void setReadOnly(bool readOnly);
    void setFull(bool full);
    // No -shm index can be made, as in a read-only folder (SQLite then reads without one).
    void setNoSharedMemory(bool on);
    // Writes refused so far.
    int refusedWrites() const;
};

} // namespace quillory::test
