#include "msg/VeyMsg.h"

#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "tarnvale/settings.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace tarnvale {
namespace {

// Developer messages of the loader, code page 949.
// "%s 파일이 존재하지 않습니다." (the file %s does not exist)
constexpr char kFileMissing[] = "%s \xc6\xc4\xc0\xcf\xc0\xcc \xc1\xb8\xc0\xe7\xc7\xcf\xc1\xf6 "
                                "\xbe\xca\xbd\xc0\xb4\xcf\xb4\xd9.";
// "메모리 할당 에러 (VeyMsg)" (memory allocation error)
constexpr char kAllocError[] =
    "\xb8\xde\xb8\xf0\xb8\xae \xc7\xd2\xb4\xe7 \xbf\xa1\xb7\xaf (VeyMsg)";
// "TextCode 데이터가 아닙니다." (not TextCode data)
constexpr char kBadSignature[] =
    "TextCode \xb5\xa5\xc0\xcc\xc5\xcd\xb0\xa1 \xbe\xc6\xb4\xd5\xb4\xcf"
    "\xb4\xd9.";
// "지원하지 않는 버젼 데이터 입니다." (unsupported version data)
constexpr char kBadVersion[] = "\xc1\xf6\xbf\xf8\xc7\xcf\xc1\xf6 \xbe\xca\xb4\xc2 \xb9\xf6\xc1\xaf "
                               "\xb5\xa5\xc0\xcc\xc5\xcd \xc0\xd4\xb4\xcf\xb4\xd9.";
// "읽는중 데이터의 개수 에러 입니다." (record count error while reading)
constexpr char kBadCount[] = "\xc0\xd0\xb4\xc2\xc1\xdf \xb5\xa5\xc0\xcc\xc5\xcd\xc0\xc7 \xb0\xb3"
                             "\xbc\xf6 \xbf\xa1\xb7\xaf \xc0\xd4\xb4\xcf\xb4\xd9.";
// "메모리 할당 에러 #2(VeyMsg)" (memory allocation error #2)
constexpr char kRecordAllocError[] = "\xb8\xde\xb8\xf0\xb8\xae \xc7\xd2\xb4\xe7 \xbf\xa1\xb7\xaf "
                                     "#2(VeyMsg)";
constexpr char kIndexError[] = "message index table make error!!";

// The loader's boxes: plain, captioned "Error", in the developer's code page.
MessageBoxRequest ErrorBox(const char* text) {
    return {text, "Error", platform::kMbOk, false, platform::TextCodePage::kDeveloper};
}

} // namespace

VeyMsg::VeyMsg() : m_index(new const MessageRecord*[kIndexSize]()) {}

VeyMsg::~VeyMsg() {
    Clear();
}

void VeyMsg::Clear() {
    m_records.clear();
    std::fill_n(m_index.get(), kIndexSize, nullptr);
    m_bLoaded = false;
}

MessageTableLoad VeyMsg::Load(const char* fileName) {
    std::string bytes;
    if (!platform::ReadWholeFile(fileName, bytes)) {
        char text[128];
        std::snprintf(text, sizeof text, kFileMissing, fileName);
        return {msg::MessageFileStatus::CannotOpen, {ErrorBox(text)}};
    }
    return LoadFromMemory(bytes);
}

MessageTableLoad VeyMsg::LoadFromMemory(std::string_view bytes) {
    Clear();

    const msg::MessageFile file = msg::ParseMessageFile(bytes, settings::kMessageKey);
    MessageTableLoad load{file.status, {}};
    try {
        m_records.reserve(file.records.size());
    } catch (const std::bad_alloc&) {
        load.boxes.push_back(ErrorBox(kAllocError));
        return load;
    }
    m_bLoaded = true;
    m_header = file.header;
    switch (file.status) {
    case msg::MessageFileStatus::BadSignature:
        load.boxes.push_back(ErrorBox(kBadSignature));
        return load;
    case msg::MessageFileStatus::BadVersion:
        load.boxes.push_back(ErrorBox(kBadVersion));
        return load;
    case msg::MessageFileStatus::BadCount:
        load.boxes.push_back(ErrorBox(kBadCount));
        return load;
    default:
        break; // a short or out-of-step file keeps the records before the damage
    }
    for (const msg::MessageFileRecord& record : file.records) {
        // The text buffer ends at its first zero byte, as the file's texts do.
        if (const char* problem = AddRecord(record.id, std::string(record.text.c_str()).c_str()))
            load.boxes.push_back(ErrorBox(problem));
    }
    return load;
}

const char* VeyMsg::AddRecord(int identifier, const char* text) {
    if (text[0] == '\0')
        return nullptr;
    MessageRecord* record = nullptr;
    try {
        m_records.push_back(std::make_unique<MessageRecord>(MessageRecord{identifier, text}));
        record = m_records.back().get();
    } catch (const std::bad_alloc&) {
        return kRecordAllocError;
    }
    if (identifier < 0 || identifier >= kIndexSize - 1)
        return kIndexError;
    m_index[identifier] = record;
    return nullptr;
}

const char* VeyMsg::GetText(int id) const {
    if (id >= 0 && id < kIndexSize - 1 && m_index[id])
        return m_index[id]->text.c_str();
    if (!m_bLoaded || m_records.empty())
        return kDefaultText;
    for (const auto& record : m_records) {
        if (record->identifier == id)
            return record->text.c_str();
    }
    return m_records.front()->text.c_str();
}

} // namespace tarnvale
