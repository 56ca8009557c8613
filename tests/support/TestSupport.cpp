#include "support/TestSupport.h"

#include "platform/FileOps.h"
#include "platform/MessageBox.h"
#include "platform/TransferLimits.h"

#include <fstream>
#include <random>
#include <sstream>

namespace tarnvale::test {

void TempDirTest::SetUp() {
    m_previous = std::filesystem::current_path();
    std::random_device random;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_dir = std::filesystem::temp_directory_path() /
            ("tarnvale-" + std::string(info->name()) + "-" + std::to_string(random()));
    std::filesystem::create_directories(m_dir);
    std::filesystem::current_path(m_dir);
}

void TempDirTest::TearDown() {
    std::filesystem::current_path(m_previous);
    std::error_code ignored;
    std::filesystem::remove_all(m_dir, ignored);
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

int CountStagingFiles(const std::filesystem::path& folder) {
    int count = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        count += platform::IsStagingName(entry.path().filename().string()) ? 1 : 0;
    return count;
}

namespace {
std::vector<MessageBoxRecorder::Box> g_boxes;
int Record(const char* text, const char* caption, unsigned type, platform::TextCodePage codePage) {
    g_boxes.push_back({text, caption, type, codePage});
    return 1;
}
} // namespace

MessageBoxRecorder::MessageBoxRecorder() {
    g_boxes.clear();
    platform::SetMessageBoxHook(Record);
}
MessageBoxRecorder::~MessageBoxRecorder() {
    platform::SetMessageBoxHook(nullptr);
}
const std::vector<MessageBoxRecorder::Box>& MessageBoxRecorder::Boxes() const {
    return g_boxes;
}
void MessageBoxRecorder::Reset() {
    g_boxes.clear();
}

ShortTransferLimits::ShortTransferLimits(int stallSeconds, int minimumBytesPerSecond) {
    platform::SetTransferLimits({stallSeconds, minimumBytesPerSecond});
}

ShortTransferLimits::~ShortTransferLimits() {
    platform::SetTransferLimits({});
}

} // namespace tarnvale::test
