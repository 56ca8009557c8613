#pragma once

// Identifiers of the message table's texts, named by where the launcher shows them.
namespace tarnvale::msgid {

inline constexpr int kConnecting = 102;          // status: connecting to the connect server
inline constexpr int kConnectFailed = 107;       // status: connection failed, retrying
inline constexpr int kFtpUpdateStarts = 108;     // status: FTP update starts
inline constexpr int kFetchingVersionFile = 109; // status: the version file is being fetched
inline constexpr int kReadingVersionFile = 112;  // status: the version file is being read
inline constexpr int kCannotOpenListFile = 113;  // status: a version or list file cannot be opened
inline constexpr int kTooManyVersions = 114;     // status: more than 999 versions
inline constexpr int kTransferFailed = 116;      // status: a transfer request failed
inline constexpr int kCannotOpenPatchList = 119; // status: "list.inf" cannot be opened
inline constexpr int kCannotEnterVersionDir = 120; // status: version directory cannot be entered
inline constexpr int kReadingList = 121;           // status: before the listing or list is read
inline constexpr int kFetchingFiles = 122;         // status: before files or archive are fetched
inline constexpr int kTransferDone = 123;          // status: the transfer of all files has ended
inline constexpr int kCannotOpenRemoteFile = 125;  // status: remote file not opened after 100 tries
inline constexpr int kReadyToChoose = 126;         // status: update over, choose a partition
inline constexpr int kAlreadyRunning = 127;        // error box: another launcher is running
inline constexpr int kFormattedCaption = 128;      // caption of FormattedMessageBox
inline constexpr int kStartOutOfMemory = 131;      // error box: game client cannot be started
inline constexpr int kStartBadFormat = 132;        // error box: game client is not a valid program
inline constexpr int kStartNotFound = 133;         // error box: game client or path not found
inline constexpr int kInternetOpenFailed = 134;    // formatted box: internet session not opened
inline constexpr int kFtpConnectFailed = 135;      // formatted box: FTP connection failed
inline constexpr int kListingTooLong = 136;        // formatted box: listing beyond 999 entries
inline constexpr int kCannotCreateLocalFile = 137; // status: local file cannot be created
inline constexpr int kUpdateFailed = 138;          // status: update failed or cannot start
inline constexpr int kSocketStartupFailed = 141;   // "Error" box: socket library cannot start
inline constexpr int kSocketVersionMissing = 142;  // "Error" box: no socket version 2.2
inline constexpr int kSocketCreateFailed = 143;    // "Error" box, format with the error code
inline constexpr int kSocketNoWindow = 144;        // "Error" box: connect before a window is known
inline constexpr int kUnpackingArchive = 146;      // status: before the archive is unpacked
inline constexpr int kCannotStoreParameters = 151; // error box: connection parameters not stored
inline constexpr int kOptionsError = 200;          // options dialog error box text
inline constexpr int kOptionsErrorCaption = 201;   // options dialog error box caption
inline constexpr int kWebAddressMain = 2000;       // web address of link buttons 1 and 3
inline constexpr int kWebAddressSecond = 2001;     // web address of link button 2
inline constexpr int kWebAddressThird = 2003;      // web address of link button 4

} // namespace tarnvale::msgid
