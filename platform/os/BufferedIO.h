#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/os/Env.h"

namespace platform {

// Byte-at-a-time reading of a file of any size through one fixed buffer.
// Failures throw platform::Error.
class BufferedReader {
  public:
    BufferedReader(Folder& folder, const std::string& name);
    // The next byte, or -1 at the end of the file.
    int Get() {
        if (next_ == end_ && !Refill())
            return -1;
        return static_cast<unsigned char>(buffer_[next_++]);
    }
    void Close();

  private:
    bool Refill();

    std::unique_ptr<ReadableFile> file_;
    std::vector<char> buffer_;
    size_t next_ = 0;
    size_t end_ = 0;
};

// Writes a file of any size through one fixed buffer, under a temporary name
// that Commit renames over the target: readers never see a part of it. The
// target's ownership and permissions pass to the new file.
// Failures throw platform::Error; a writer dropped before Commit removes its
// temporary file.
class AtomicFileWriter {
  public:
    AtomicFileWriter(Folder& folder, const std::string& name);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    void Write(const char* data, size_t n);
    void Write(const std::string& text) { Write(text.data(), text.size()); }
    void Put(char c) {
        if (used_ == buffer_.size())
            Drain();
        buffer_[used_++] = c;
    }
    void Commit();

  private:
    void Drain();

    Folder& folder_;
    std::string name_;
    std::string temp_;
    std::unique_ptr<WritableFile> file_;
    std::vector<char> buffer_;
    size_t used_ = 0;
};

}  // namespace platform
