#include <windows.h>

#include <algorithm>
#include <cstdint>

#include <string>

#include "tools/cli/OutputQueue.h"

namespace kestiva::cli {

// A write to a pipe nobody reads (or to a console held by a selection) waits in WriteFile;
// another thread ends that wait with CancelSynchronousIo on the writing thread.
struct StreamWriter::Handles {
    HANDLE stream = INVALID_HANDLE_VALUE;
    std::atomic<HANDLE> writer{nullptr};  // the writing thread, once it has written
    std::string failure;                  // why the last write was Closed, unless the reader went
};

StreamWriter::StreamWriter(StandardStream stream) : handles_(new Handles) {
    handles_->stream =
        GetStdHandle(stream == StandardStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

StreamWriter::~StreamWriter() {
    if (const HANDLE writer = handles_->writer.load())
        CloseHandle(writer);
    delete handles_;
}

StreamWriter::Result StreamWriter::write(std::string_view text, const std::atomic<bool>& stopping,
                                         std::size_t& written) {
    written = 0;
    if (handles_->stream == INVALID_HANDLE_VALUE || handles_->stream == nullptr)
        return Result::Closed;
    if (handles_->writer.load() == nullptr) {
        HANDLE self = nullptr;
        if (DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &self,
                            0, FALSE, DUPLICATE_SAME_ACCESS))
            handles_->writer = self;
    }
    while (written < text.size()) {
        if (stopping)
            return Result::Stopped;
        const DWORD size = DWORD(std::min<std::size_t>(text.size() - written, 1 << 16));
        DWORD done = 0;
        if (WriteFile(handles_->stream, text.data() + written, size, &done, nullptr)) {
            written += done;
            continue;
        }
        if (const DWORD error = GetLastError(); error != ERROR_OPERATION_ABORTED) {
            handles_->failure = error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA
                                    ? std::string()
                                    : "Windows error " + std::to_string(error);
            return Result::Closed;
        }
        written += done;
    }
    return Result::Written;
}

void StreamWriter::interrupt() {
    if (const HANDLE writer = handles_->writer.load())
        CancelSynchronousIo(writer);
}

const std::string& StreamWriter::failure() const {
    return handles_->failure;
}

}  // namespace kestiva::cli
