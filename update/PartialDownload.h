#pragma once

#include "platform/HttpResume.h"

#include <cstdint>
#include <ctime>
#include <string>

namespace tarnvale {

// The bytes of a large download that broke off, kept for the next try so that it
// goes on where this one stopped. They live beside the file they will become,
// as "<target>.~tvpart", with a record "<target>.~tvresume" of what they are:
// the version they belong to, the copy of the server's file they are the start
// of (its entity tag, date and length), and when the download began. Neither
// counts as the file: only a complete partial is renamed to the target, which
// the road then checks like any download.
//
// A partial is dropped when its record is missing or damaged, when it belongs
// to another version, when it is longer than its copy or than the ceiling the
// road holds the file to, and when it is older than kPartialKeepDays; the
// start-up sweep drops old ones in the staging folder too.
inline constexpr char kPartialSuffix[] = ".~tvpart";
inline constexpr char kPartialRecordSuffix[] = ".~tvresume";
inline constexpr int kPartialKeepDays = 7;

class PartialDownload {
  public:
    // Takes up the partial of `target` for `version` if there is a usable one,
    // else starts from nothing (and removes whatever was there). `ceiling` is
    // the most the file may hold (0: no ceiling).
    PartialDownload(std::string target, std::string version, std::uint64_t ceiling,
                    std::time_t now = std::time(nullptr));

    const std::string& Path() const { return m_path; }
    // The copy the partial's bytes belong to (nothing usable when it is empty).
    const platform::HttpValidator& Copy() const { return m_copy; }
    // How many bytes were there when it was taken up.
    std::uint64_t Have() const { return m_have; }

    // The server sends a new whole copy: the record says so before any of its
    // bytes is written. False when the record cannot be written; the partial is
    // then of no use to a later try (it is dropped at the next one).
    bool Record(const platform::HttpValidator& copy, std::time_t now = std::time(nullptr));
    // The partial is complete: it becomes the target, and the record goes.
    bool Complete();
    // Removes the partial and its record.
    void Drop();
    // The download failed with `code`: its bytes stay for the next try, unless
    // the server refused the file (an HTTP error status such as a 404), which
    // leaves nothing worth keeping.
    void Failed(long code);

  private:
    std::string m_target;
    std::string m_version;
    std::string m_path;
    std::string m_record;
    platform::HttpValidator m_copy;
    std::uint64_t m_have = 0;
};

// Drops every partial in `folder` and its subfolders whose record is missing,
// damaged or older than kPartialKeepDays, and records without their partial.
// Returns how many partials went.
int SweepOldPartials(const std::string& folder, std::time_t now = std::time(nullptr));

} // namespace tarnvale
