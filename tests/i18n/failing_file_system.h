// A MemoryFileSystem that fails on purpose: it counts every openFile, every
// openInputStream of a file it handed out and every read of a stream it
// handed out, and makes the Nth of them fail, either by throwing a
// core::Exception or by delivering nothing (a null file or stream, or a read
// that finds the end of the file early). It remembers which file the fault
// hit, so that a test can tell what must have been lost and what must have
// survived.
//
//   FailingFileSystem files;
//   files.addFile("i18n/texts.xml", "...");
//   files.failAt(3, FailingFileSystem::THROW);    // the 3rd operation fails
//   bundle->load(&files, true);
//   files.failedPath();                           // "" when no fault was injected
//   files.faultLostNothing();                     // a read that was at the end anyway
#ifndef KAVRIXML_TESTS_I18N_FAILING_FILE_SYSTEM_H
#define KAVRIXML_TESTS_I18N_FAILING_FILE_SYSTEM_H

#include <memory>
#include <string>

#include "core/SmartPtr.h"
#include "framework/kavrimain/File.h"
#include "framework/kavrimain/InputStream.h"
#include "framework/kavrimain/MemoryFileSystem.h"
#include "framework/plinth/Exception.h"

class FailingFileSystem : public kavri::vfs::MemoryFileSystem {
  public:
    enum Mode { THROW, NOTHING };

    // Arms the fault for the `n`th operation from now (1-based); 0 disarms.
    void failAt(int n, Mode mode) {
        mFailAt = n;
        mMode = mode;
        mCount = 0;
        mFailedPath.clear();
        mFailedOperation.clear();
        mLostNothing = false;
    }
    // The file and the operation that failed; empty while none has.
    const std::string& failedPath() const { return mFailedPath; }
    const std::string& failedOperation() const { return mFailedOperation; }
    int operationCount() const { return mCount; }
    // True when the fault was a read delivering nothing at the end of the
    // file, where the read would have delivered nothing anyway.
    bool faultLostNothing() const { return mLostNothing; }

    kavri::vfs::File* openFile(const char* path, int mode) override {
        if (fails("openFile", path)) {
            return nullptr;
        }
        ::core::SmartPtr<kavri::vfs::File> file(MemoryFileSystem::openFile(path, mode));
        return new FailingFile(this, file);
    }

  private:
    // True when this operation is to deliver nothing; throws when it is to
    // throw.
    bool fails(const char* operation, const std::string& path) {
        if (++mCount != mFailAt) {
            return false;
        }
        mFailedPath = path;
        mFailedOperation = operation;
        if (mMode == THROW) {
            throw ::core::Exception("injected fault: %s of %s", operation, path.c_str());
        }
        return true;
    }

    class FailingStream : public kavri::stream::InputStream {
      public:
        FailingStream(FailingFileSystem* owner, std::string path, kavri::stream::InputStream* inner)
            : mOwner(owner), mPath(std::move(path)), mInner(inner) {}
        int read(char* buffer, unsigned length) override {
            if (mCut) {
                return 0;
            }
            int got = mInner->read(buffer, length);
            if (mOwner->fails("read", mPath)) {
                // The stream ends here: this read and every later one.
                mCut = true;
                mOwner->mLostNothing = got == 0;
                return 0;
            }
            return got;
        }
        void close() override { mInner->close(); }

      private:
        FailingFileSystem* mOwner;
        std::string mPath;
        std::unique_ptr<kavri::stream::InputStream> mInner;
        bool mCut = false;
    };

    class FailingFile : public kavri::vfs::File {
      public:
        FailingFile(FailingFileSystem* owner, ::core::SmartPtr<kavri::vfs::File> inner)
            : File(inner->getPath()), mOwner(owner), mInner(std::move(inner)) {}
        kavri::stream::InputStream* openInputStream() override {
            if (mOwner->fails("openInputStream", getPath())) {
                return nullptr;
            }
            return new FailingStream(mOwner, getPath(), mInner->openInputStream());
        }

      private:
        FailingFileSystem* mOwner;
        ::core::SmartPtr<kavri::vfs::File> mInner;
    };

    int mFailAt = 0;
    Mode mMode = THROW;
    int mCount = 0;
    std::string mFailedPath;
    std::string mFailedOperation;
    bool mLostNothing = false;
};

#endif  // KAVRIXML_TESTS_I18N_FAILING_FILE_SYSTEM_H
