#pragma once

#include <QString>

#include "core/result.h"

namespace pagrion {

// Keeps batch runs of one program folder apart: while a process holds it, a
// run of another process on the same results would load and store the same
// pages again. The lock is the kernel's lock on a file beside the result
// database, so a process that dies, however it dies, leaves none behind.
class BatchLock final
{
public:
    BatchLock() = default;
    ~BatchLock();
    BatchLock(BatchLock &&other) noexcept;
    BatchLock &operator=(BatchLock &&other) noexcept;
    BatchLock(const BatchLock &) = delete;
    BatchLock &operator=(const BatchLock &) = delete;

    // The lock of the current program folder; fails with the message the
    // user is shown when another process holds it or the file cannot be made.
    static Result<BatchLock> acquire();

private:
    explicit BatchLock(int fd) : m_fd(fd) {}
    int m_fd = -1;
};

} // namespace pagrion
