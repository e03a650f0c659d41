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
    if (mHoldReferences) {
        file->addRef();
    }
    mFiles.push_back(file);
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
