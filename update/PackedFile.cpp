#include "update/PackedFile.h"

#include "msg/MessageIds.h"
#include "platform/FileOps.h"
#include "platform/Files.h"
#include "state/LauncherWindow.h"
#include "update/PatchLog.h"

#include <bzlib.h>

#include <cstdint>
#include <memory>

namespace tarnvale {
namespace {

constexpr size_t kUnpackInputChunk = 12288;
constexpr size_t kUnpackOutputBuffer = 131072;
constexpr size_t kPackChunk = 65536;
constexpr int kBlockSize = 9;
constexpr int kWorkFactor = 30;

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// What the window form does between steps; the plain form passes no window.
struct Pump {
    LauncherWindow* window = nullptr;
    const std::atomic<bool>* stop = nullptr;
    std::uint64_t total = 0;
    std::uint64_t done = 0;
    int shownPercent = -1;

    // Dispatches one message; false when the player asked to stop.
    bool Step() {
        if (!window)
            return true;
        window->PumpMessage();
        return !(stop && stop->load());
    }
    void Advance(size_t bytes) {
        done += bytes;
        if (!window || total == 0)
            return;
        const int percent = static_cast<int>(done * 100 / total);
        if (percent != shownPercent) {
            shownPercent = percent;
            window->fileBar.SetPos(percent);
            window->RefreshProgress();
        }
    }
};

// Decompresses the whole bzip2 stream of `input` into `out` (named `output` in
// messages); returns what went wrong, or nothing.
std::string Decompress(platform::InputFile& input, platform::StagedFile& out,
                       const std::string& output, Pump& pump) {
    bz_stream stream{};
    if (BZ2_bzDecompressInit(&stream, 0, 0) != BZ_OK)
        return "the decompressor cannot start";
    const auto inBuffer = std::make_unique<char[]>(kUnpackInputChunk);
    const auto outBuffer = std::make_unique<char[]>(kUnpackOutputBuffer);
    std::string why;
    bool ended = false;
    while (why.empty()) {
        size_t got = 0;
        if (!input.Read(inBuffer.get(), kUnpackInputChunk, got)) {
            why = "cannot read it: " + platform::LastFileErrorText();
            break;
        }
        if (got == 0)
            break;
        // Bytes after the end-of-stream marker are not part of any packed file.
        if (ended) {
            why = "bytes after the end of the packed stream";
            break;
        }
        stream.next_in = inBuffer.get();
        stream.avail_in = static_cast<unsigned>(got);
        // A full output buffer may leave more output inside the decompressor even
        // when the input is used up, so the loop also runs until it stops filling.
        do {
            stream.next_out = outBuffer.get();
            stream.avail_out = static_cast<unsigned>(kUnpackOutputBuffer);
            const int result = BZ2_bzDecompress(&stream);
            if (result != BZ_OK && result != BZ_STREAM_END) {
                why = "damaged packed data (bzip2 error " + std::to_string(result) + ")";
                break;
            }
            const size_t produced = kUnpackOutputBuffer - stream.avail_out;
            if (produced > 0 && !out.Write(outBuffer.get(), produced)) {
                why = "cannot write " + platform::NativePath(output) + ": " +
                      platform::LastFileErrorText();
                break;
            }
            if (!pump.Step()) {
                why = "stopped";
                break;
            }
            if (result == BZ_STREAM_END) {
                ended = true;
                if (stream.avail_in != 0)
                    why = "bytes after the end of the packed stream";
                break;
            }
        } while (stream.avail_in > 0 || stream.avail_out == 0);
        pump.Advance(got);
        if (why.empty() && !pump.Step())
            why = "stopped";
    }
    // A stream that stops before its end-of-stream marker is a truncated file.
    if (why.empty() && !ended)
        why = "the packed stream ends early";
    BZ2_bzDecompressEnd(&stream);
    return why;
}

// Unpacks as UnpackQxcFile describes; on failure `why` says what went wrong.
bool Unpack(const char* packedPath, const char* targetFolder, Pump pump, std::string& why) {
    if (!packedPath || !targetFolder) {
        why = "no file to unpack";
        return false;
    }
    const std::string output = UnpackedPathFor(packedPath, targetFolder);
    // Unpacking a file over itself would destroy the packed bytes being read.
    if ((SplitPathParts(output).name.empty() && SplitPathParts(output).extension.empty()) ||
        NamesEqual(platform::NativePath(output), platform::NativePath(packedPath))) {
        why = "the unpacked name would be the packed file itself";
        return false;
    }

    platform::InputFile input;
    if (!input.Open(packedPath)) {
        why = "cannot open it: " + platform::LastFileErrorText();
        return false;
    }
    input.Size(pump.total);
    platform::StagedFile out;
    if (!out.Create(output)) {
        why =
            "cannot create " + platform::NativePath(output) + ": " + platform::LastFileErrorText();
        return false;
    }
    why = Decompress(input, out, output, pump);
    if (!why.empty()) {
        out.Discard();
        return false;
    }
    if (!out.Commit()) {
        why = "cannot put " + platform::NativePath(output) +
              " in place: " + platform::LastFileErrorText();
        return false;
    }
    return true;
}

bool Pack(const char* sourcePath, const char* targetFolder, Pump pump) {
    if (!sourcePath || !targetFolder)
        return false;
    const std::string output = PackedPathFor(sourcePath, targetFolder);
    platform::InputFile input;
    if (!input.Open(sourcePath))
        return false;
    platform::StagedFile out;
    if (!out.Create(output))
        return false;

    bz_stream stream{};
    if (BZ2_bzCompressInit(&stream, kBlockSize, 0, kWorkFactor) != BZ_OK)
        return false;
    const auto inBuffer = std::make_unique<char[]>(kPackChunk);
    const auto outBuffer = std::make_unique<char[]>(kPackChunk);
    bool ok = true;
    for (;;) {
        size_t got = 0;
        if (!input.Read(inBuffer.get(), kPackChunk, got)) {
            ok = false;
            break;
        }
        if (got == 0)
            break;
        stream.next_in = inBuffer.get();
        stream.avail_in = static_cast<unsigned>(got);
        while (ok && stream.avail_in > 0) {
            stream.next_out = outBuffer.get();
            stream.avail_out = static_cast<unsigned>(kPackChunk);
            if (BZ2_bzCompress(&stream, BZ_RUN) != BZ_RUN_OK) {
                ok = false;
                break;
            }
            const size_t produced = kPackChunk - stream.avail_out;
            if (produced > 0 && !out.Write(outBuffer.get(), produced))
                ok = false;
        }
        if (!ok)
            break;
        pump.Step();
    }
    int result = BZ_FINISH_OK;
    while (ok && result != BZ_STREAM_END) {
        stream.next_out = outBuffer.get();
        stream.avail_out = static_cast<unsigned>(kPackChunk);
        result = BZ2_bzCompress(&stream, BZ_FINISH);
        if (result < 0) {
            ok = false;
            break;
        }
        const size_t produced = kPackChunk - stream.avail_out;
        if (produced > 0 && !out.Write(outBuffer.get(), produced))
            ok = false;
    }
    ok = (BZ2_bzCompressEnd(&stream) == BZ_OK) && ok;
    if (!ok) {
        out.Discard();
        return false;
    }
    return out.Commit();
}

} // namespace

PathParts SplitPathParts(std::string_view path) {
    PathParts parts;
    if (path.size() >= 2 && path[1] == ':') {
        parts.drive = std::string(path.substr(0, 2));
        path.remove_prefix(2);
    }
    size_t nameStart = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        if (IsSeparator(path[i]))
            nameStart = i + 1;
    }
    parts.folder = std::string(path.substr(0, nameStart));
    const std::string_view element = path.substr(nameStart);
    const size_t dot = element.rfind('.');
    if (dot == std::string_view::npos) {
        parts.name = std::string(element);
    } else {
        parts.name = std::string(element.substr(0, dot));
        parts.extension = std::string(element.substr(dot));
    }
    return parts;
}

std::string UnpackedPathFor(std::string_view packedPath, std::string_view targetFolder) {
    const PathParts target = SplitPathParts(targetFolder);
    return target.drive + target.folder + SplitPathParts(packedPath).name;
}

std::string PackedPathFor(std::string_view sourcePath, std::string_view targetFolder) {
    const PathParts target = SplitPathParts(targetFolder);
    const PathParts source = SplitPathParts(sourcePath);
    return target.drive + target.folder + source.name + source.extension + ".QXC";
}

bool UnpackQxcFile(const char* packedPath, const char* targetFolder) {
    std::string why;
    return Unpack(packedPath, targetFolder, Pump{}, why);
}

StepResult UnpackQxcFile(const char* packedPath, const char* targetFolder, LauncherWindow& window,
                         const std::atomic<bool>& stopRequested) {
    Pump pump;
    pump.window = &window;
    pump.stop = &stopRequested;
    std::string why;
    if (Unpack(packedPath, targetFolder, pump, why))
        return {};
    return StepResult::Failure(msgid::kUpdateFailed,
                               "unpacking " + platform::NativePath(packedPath ? packedPath : "") +
                                   ": " + why);
}

bool PackQxcFile(const char* sourcePath, const char* targetFolder) {
    return Pack(sourcePath, targetFolder, Pump{});
}

bool PackQxcFile(const char* sourcePath, const char* targetFolder, LauncherWindow& window) {
    Pump pump;
    pump.window = &window;
    return Pack(sourcePath, targetFolder, pump);
}

} // namespace tarnvale
