#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// A file opened for reading that can never hang the program: opening does
// not wait (a FIFO without a writer, a device), and anything but a regular
// file of at most a given size is refused before a byte is read.
class InputFile {
public:
    enum class Result {
        Opened,
        NotFound,        // no such file or folder
        AccessDenied,    // no permission
        NotRegularFile,  // a folder, a FIFO, a device, a socket
        TooLarge,        // more bytes than the limit
        Failed,          // anything else; ErrorText() says what
    };

    InputFile() = default;
    ~InputFile() { Close(); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens utf8Path for reading; a file already open is closed first.
    // maxBytes bounds the file's size. For anything but Opened, ErrorText()
    // says why: the system's own words, or this program's refusal.
    Result Open(const std::string& utf8Path, uint64_t maxBytes);
    void Close();
    bool IsOpen() const;

    // Reads up to size bytes into buffer: how many came, 0 at the end of the
    // file, -1 on a read error or once more than maxBytes have been read (a
    // file that grows while it is read); ErrorText() then says which.
    long Read(void* buffer, size_t size);

    const std::string& ErrorText() const { return m_error; }

private:
    // The platform's half of Open: opens a named file, leaves the handle in
    // m_handle and returns Admit's verdict, or says why it could not.
    // Read checks through Admit too.
    Result OpenNamed(const std::string& utf8Path);
    // Opened for a regular file within the size limit; otherwise the refusal,
    // with its words in m_error. The caller closes what it refused.
    Result Admit(bool regularFile, uint64_t size);

    intptr_t m_handle = -1;  // the platform's descriptor or handle; -1: none
    uint64_t m_maxBytes = 0;
    uint64_t m_read = 0;
    std::string m_error;
};

