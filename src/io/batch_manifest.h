// Spreading one batch over many machines: deterministic slices of a work
// list, and a manifest of what became of every file, one JSON object a line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pixtrel {

// The shard-th (1 to count) of count slices of a work list, in list order.
// Files are grouped by target name (and a file whose source is an earlier
// file's target joins that file's group), and the groups, numbered in order
// of their first file, are dealt out in turn: group g goes to slice
// g % count + 1. So files that meet at one target are converted by one run
// with the skip rules of one run, every file lands in exactly one slice, and
// the slices depend only on the list, the destination and the format.
std::vector<std::string> BatchShard(const std::vector<std::string>& workList, const std::string& destination,
                                    const std::string& format, int shard, int count);

// The size and SHA-256 (lower-case hexadecimal) of a file's bytes; false when
// it cannot be read.
bool FileDigest(const std::string& path, std::uint64_t& bytes, std::string& sha256);

// One line of a batch manifest, without the line break:
//   {"source":"…","target":"…","status":"written","bytes":123,"sha256":"…","message":""}
// status is "written", "skipped" or "failed". bytes and sha256 describe the
// target as it is now (the existing file for "skipped"), or are null when it
// cannot be read (always for "failed"); message is the error of a failed file.
std::string BatchManifestLine(const std::string& source, const std::string& target, const std::string& status,
                              const std::string& message);

// s as a JSON string with its quotes. Bytes that are not UTF-8 (a file name
// may hold any) become \u00XX escapes of the byte so that the line stays JSON.
std::string JsonString(const std::string& s);

}  // namespace pixtrel
