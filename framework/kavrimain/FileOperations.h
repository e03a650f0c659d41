// FileOperations splits paths ("/" separated) into folder, name and extension.
//
//   FileOperations::getExtension("i18n/texts.xml");   // ".xml" (points into the argument)
//   FileOperations::getFile("i18n/texts.xml");        // "texts.xml"
//   FileOperations::getFolder("i18n/texts.xml");      // "i18n"
#ifndef KAVRIXML_FRAMEWORK_KAVRIMAIN_FILEOPERATIONS_H
#define KAVRIXML_FRAMEWORK_KAVRIMAIN_FILEOPERATIONS_H

#include <string>

namespace kavri {
namespace platform {

class FileOperations {
  public:
    // The extension of the name part with its dot (a pointer into `path`), or
    // null when the name has no dot. A name that is only an extension
    // (".hidden") is all extension.
    static const char* getExtension(const char* path);
    // The name part: everything after the last "/".
    static std::string getFile(const char* path);
    // The folder part: everything before the last "/", or "" when none.
    static std::string getFolder(const char* path);
};

}  // namespace platform
}  // namespace kavri

#endif  // KAVRIXML_FRAMEWORK_KAVRIMAIN_FILEOPERATIONS_H
