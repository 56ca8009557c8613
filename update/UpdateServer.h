#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// What the launcher relies on about the update server: the layout below its root
// and the requests both update roads make of it. The server itself is the
// operator's; nothing else about it is assumed.
namespace tarnvale::updateserver {

// Layout below the server root (the FTP login directory or the web root).
// The version file's real name arrives with the connect server's update-server
// packet; this is the name operators use in practice.
inline constexpr char kDefaultVersionFileName[] = "version.wvd";
// Each version directory (named as in the version file) holds its patch list and,
// for a packed version, its archive. Both keep these names locally as well.
inline constexpr char kPatchListName[] = "list.inf";
inline constexpr char kArchiveName[] = "up_list.zip";
// Suffix of a packed file of a file-by-file version with COMPRESSED.
inline constexpr char kPackedSuffix[] = ".QXC";
inline constexpr std::size_t kPackedSuffixLength = sizeof(kPackedSuffix) - 1;
// Whether `name` is a packed file's name: something before the packed suffix,
// which is matched in any case.
bool EndsWithPackedSuffix(std::string_view name);

// FTP requests.
inline constexpr char kFtpAgentName[] = "PATCH_FTP_DOWNLOAD";
inline constexpr char kFtpListPattern[] = "*.*";
// Names of at most 255 bytes and 2048-byte reads: see platform/FtpClient.h.

// HTTP requests. The "time" query only defeats caches; the server ignores it.
// The HTTP server is reached on the scheme's default port, without an account.

// "http://host/versionFile?time=tick", the tick printed as a signed decimal.
std::string VersionFileUrl(const char* host, const char* versionFileName, std::uint32_t tick);
// "http://host/version/item?time=tick", for "list.inf" and "up_list.zip".
std::string VersionItemUrl(const char* host, const char* versionName, const char* item,
                           std::uint32_t tick);

// The FTP directory of a folder of a version whose server mirrors the folder tree
// (NEWTOOLVERSION): "/" + version + "/" + folder + "/", every "\" turned into "/".
std::string MirroredFolderDirectory(const std::string& versionName, const std::string& folder);

} // namespace tarnvale::updateserver
