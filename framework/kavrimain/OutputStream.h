// OutputStream is the framework's sink of bytes. Writers ask isOpen, open it
// with a mode when it is not, write, and flush at the end. Results of write
// are the number of bytes taken, or -1 on failure.
//
//   kavri::stream::MemoryOutputStream out;
//   out.write("<a/>", 4);
//   out.str();   // "<a/>"
#ifndef KAVRIXML_FRAMEWORK_KAVRIMAIN_OUTPUTSTREAM_H
#define KAVRIXML_FRAMEWORK_KAVRIMAIN_OUTPUTSTREAM_H

namespace kavri {
namespace stream {

class OutputStream {
  public:
    // Open modes: WRITE (32) truncates and writes, APPEND adds at the end.
    enum Mode { WRITE = 32, APPEND = 64 };

    virtual ~OutputStream() = default;

    virtual bool isOpen() = 0;
    virtual bool open(int mode) = 0;
    virtual int write(const char* bytes, unsigned length) = 0;
    virtual int write(const unsigned char* bytes, unsigned length) = 0;
    virtual void flush() = 0;
    virtual void close() = 0;
};

}  // namespace stream
}  // namespace kavri

#endif  // KAVRIXML_FRAMEWORK_KAVRIMAIN_OUTPUTSTREAM_H
