// SPDX-License-Identifier: MIT
// korvalt: print a greeting and list the arguments.
//
// Standard output gets "Korvalt ..." and, when there are arguments, an empty
// line and the heading "Arguments:" with no line end.  Standard error gets
// one entry per argument, "N: ARG", run together with no separator.  Exit
// status is 0, or 1 when a write to either stream failed.

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <streambuf>

// An output buffer over a file descriptor that loses nothing to a slow
// reader: a write that would block on a non-blocking pipe or terminal waits
// until the descriptor takes more, as a blocking write would.  The
// descriptor's flags are left alone, since other processes share them.  The
// first error that ends writing is kept for the diagnostic.  While it
// exists, it is the given stream's buffer.
class FdOutput : public std::streambuf {
  public:
    FdOutput(std::ostream &stream, int fd, char *space, std::size_t size)
        : stream_(stream), standard_buffer_(stream.rdbuf(this)), fd_(fd)
    {
        setp(space, space + size);
    }

    // The library flushes std::cout once more at exit, after this buffer is
    // gone: the stream gets its own buffer back first.
    ~FdOutput() override { stream_.rdbuf(standard_buffer_); }

    FdOutput(const FdOutput &) = delete;
    FdOutput &operator=(const FdOutput &) = delete;

    int error() const { return error_; }

  protected:
    int_type overflow(int_type c) override
    {
        if (!write_pending())
            return traits_type::eof();
        if (traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::not_eof(c);
        return sputc(traits_type::to_char_type(c));
    }

    int sync() override { return write_pending() ? 0 : -1; }

  private:
    // Writes the buffer out; after an error, drops it and fails from then on.
    bool write_pending()
    {
        const char *data = pbase();
        auto size = static_cast<std::size_t>(pptr() - pbase());
        setp(pbase(), epptr());
        while (error_ == 0 && size > 0) {
            const ssize_t written = write(fd_, data, size);
            if (written > 0) {
                data += written;
                size -= static_cast<std::size_t>(written);
            } else if (written == 0) {
                error_ = ENOSPC; // a write that takes nothing will never take more
            } else if (would_block(errno)) {
                wait_until_writable();
            } else if (errno != EINTR) {
                error_ = errno;
            }
        }
        return error_ == 0;
    }

    static bool would_block(int error)
    {
#if EWOULDBLOCK != EAGAIN
        if (error == EWOULDBLOCK)
            return true;
#endif
        return error == EAGAIN;
    }

    // No timeout: the reader decides when.  POLLERR, POLLHUP and POLLNVAL
    // also end the wait, and the write that follows reports the real error.
    void wait_until_writable()
    {
        pollfd writable = {fd_, POLLOUT, 0};
        while (poll(&writable, 1, -1) < 0) {
            if (errno != EINTR) {
                error_ = errno;
                return;
            }
        }
    }

    std::ostream &stream_;
    std::streambuf *const standard_buffer_;
    int fd_;
    int error_ = 0;
};

int main(int argc, char *argv[])
{
    // Standard output is flushed at every line end, so a small buffer will
    // do.  Past 16 KiB, the pages a larger buffer for the listing touches
    // cost more than the writes it saves.
    static char stdout_space[512];
    static char stderr_space[16384];
    const FdOutput stdout_buffer(std::cout, STDOUT_FILENO, stdout_space, sizeof stdout_space);
    const FdOutput stderr_buffer(std::cerr, STDERR_FILENO, stderr_space, sizeof stderr_space);
    // The listing is written when its buffer fills, not after each insertion
    // (unitbuf), nor after flushing std::cout (tie): standard output is
    // flushed at each line end and after the heading, before any listing.
    std::cerr << std::nounitbuf;
    std::cerr.tie(nullptr);

    std::cout << "Korvalt ..." << std::endl;

    if (argc > 1) {
        std::cout << std::endl << "Arguments:" << std::flush;
        for (int i = 1; i < argc; ++i)
            std::cerr << i << ": " << argv[i];
    }

    if (!std::cout) {
        if (argc > 1)
            std::cerr << '\n';
        std::cerr << "korvalt: write error: " << std::strerror(stdout_buffer.error()) << '\n';
    }
    std::cerr.flush();
    return std::cout && std::cerr ? EXIT_SUCCESS : EXIT_FAILURE;
}
