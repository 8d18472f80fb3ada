// SPDX-License-Identifier: MIT
#pragma once
// The one writer of every file the programs write (the eight image and document types, the settings
// file) and of standard output, and whole-file reading, with the platform's error messages.
//
// The policy of WriteFileAtomic, the same for every file:
// - Whole or nothing. A new file is written unnamed in its folder (O_TMPFILE) and linked under its
//   name only when every byte has been written; a file that exists gets the bytes in a new hidden
//   file beside it, renamed over the target only when everything was written and closed. Any
//   failure raises EInOutError "<the user's file name>: <the platform's message>" (strerror), keeps
//   an earlier file byte for byte and leaves no temporary file behind. The unnamed file is written
//   first, before the name is looked at: when the link finds the name taken, that same file
//   (given the old file's owner and mode before it gets the hidden name) is what replaces it.
// - A target the writer may not write into is refused with "Permission denied" (or the reason the
//   system gives: a read-only file system, an immutable file), as writing into it in place would
//   be; replacing it through its folder would defeat the protection.
// - A replaced file keeps its mode and, when the writer may set them, its owner and group. Root
//   never takes another user's file over: if the owner cannot be kept, the write fails. A new file
//   gets 0666 less the umask.
// - Symbolic links are followed by the kernel, never resolved here, so the system's protections
//   for links apply. Writing through a link replaces the file the link leads to, in that file's
//   folder, and the link stays; a link to a file not yet there makes that file.
// - A target that exists and is not a regular file (a device, a pipe) takes the bytes in place; a
//   folder is refused ("Is a directory").
// - File names are bytes: nothing is converted, so a name that is not UTF-8 is written as given.
//
// Nothing is flushed to the disk: a crash of the program or a full disk never loses an earlier
// file, and on ext4 a file renamed over another reaches the disk before the rename does.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace varlen {

void WriteFileAtomic(const std::string& fileName, const void* data, std::size_t size);

// The same for a file gathered from several pieces, written in order without copying them.
struct ByteSpan {
    const void* data;
    std::size_t size;
};
void WriteFileAtomic(const std::string& fileName, const std::vector<ByteSpan>& parts);

// A file written piece by piece while it is made (a document of many pages), under the policy of
// WriteFileAtomic: the pieces go into an unnamed file in the target's folder, which Commit names
// (replacing an earlier file as WriteFileAtomic does); without Commit (a failure, an exception on
// the way) nothing is left and an earlier file stays byte for byte. Memory does not grow with the
// file. A target the writer may not write into, a folder, or a missing folder is refused when the
// stream starts, before anything is made. Where the file system has no unnamed files, a hidden
// temporary file beside the target takes the pieces. A target that is not a regular file (a
// device, a pipe) takes them in place. Every failure raises EInOutError "<fileName>: <reason>".
class TFileStream {
public:
    explicit TFileStream(std::string fileName);
    ~TFileStream();
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    void Write(const void* data, std::size_t size);
    // The file under its name; after it the stream takes nothing more.
    void Commit();
    // The bytes written so far.
    std::uint64_t Size() const { return size_; }
    const std::string& FileName() const { return fileName_; }

private:
    void discard() noexcept;

    std::string fileName_;
    int fd_ = -1;
    int folder_ = -1;         // the hidden temporary's folder, where there is one
    std::string temporary_;   // the hidden temporary's name, where there is one
    bool inPlace_ = false;    // a device or a pipe
    std::uint64_t size_ = 0;
};

// Writes every byte to standard output or raises EInOutError "standard output: <message>". A
// reader that has gone away is "Broken pipe": the caller must ignore SIGPIPE to get that message
// rather than die of the signal.
void WriteStandardOutput(const void* data, std::size_t size);

// Writes the text to standard error as far as it goes: a message about a failure has nowhere else
// to go when standard error fails too.
void WriteStandardError(const std::string& text);

// Makes the folders fileName lies in, as `mkdir -p` does (new folders 0777 less the umask). Raises
// EInOutError "<folder>: <message>" naming the first folder that cannot be made.
void MakeFolders(const std::string& fileName);

// Raises EInOutError "<file name>: <the platform's message>" when the file cannot be read.
std::vector<std::uint8_t> ReadWholeFile(const std::string& fileName);

}  // namespace varlen
