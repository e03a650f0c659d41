#include "framework/kavrimain/FileList.h"

namespace kavri {
namespace vfs {

FileList::FileList(bool holdReferences) : mHoldReferences(holdReferences) {}

FileList::~FileList() {
    clear();
}

void FileList::add(File* file) {
    if (file == nullptr) {
        return;
    }
    // The entry first: when it cannot be made, a file that nobody holds
    // (listFiles hands over new ones) is disposed of instead of lost.
    try {
        mFiles.push_back(file);
    } catch (...) {
        if (mHoldReferences && file->getRefCount() == 0) {
            ::core::IRefCount::dispose(file);
        }
        throw;
    }
    if (mHoldReferences) {
        file->addRef();
    }
}

void FileList::clear() {
    std::vector<File*> files;
    files.swap(mFiles);
    if (!mHoldReferences) {
        return;
    }
    for (File* file : files) {
        if (file->decRef() == 0) {
            ::core::IRefCount::dispose(file);
        }
    }
}

}  // namespace vfs
}  // namespace kavri
