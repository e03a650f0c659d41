// SystemInfo asks the machine what the report must say about where its
// figures come from: the date, the kernel, the compiler of this build, the
// revision of the library, and the versions of the Debian packages and
// programs measured against. Each answer is a plain string, "?" or
// "unknown" when the system cannot tell.
//
//   std::string v = bench::packageVersion("libpugixml-dev");   // "1.13-0.2"
//   std::string r = bench::revision(sourceDir);                // "c3e0953"
#ifndef KAVRIXML_BENCH_SYSTEMINFO_H
#define KAVRIXML_BENCH_SYSTEMINFO_H

#include <string>

namespace bench {

// Standard output of a shell command, without its trailing blanks and line ends.
std::string commandOutput(const std::string& command);
// The installed version of a Debian package, or "?".
std::string packageVersion(const std::string& package);
// "2026-12-05 19:58 UTC".
std::string now();
// "Linux 6.1.0 x86_64".
std::string kernel();
// The compiler of this program, and so of the library it links.
std::string compiler();
// The short revision of the git tree at `sourceDir`, and whether the
// library's sources there differ from it.
std::string revision(const std::string& sourceDir);
// The first line a program prints for `program ARGS` on either stream, or "?".
std::string programVersion(const std::string& program, const std::string& arguments);

}  // namespace bench

#endif  // KAVRIXML_BENCH_SYSTEMINFO_H
