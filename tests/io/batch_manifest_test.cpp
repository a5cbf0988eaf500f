#include "io/batch_manifest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "core/stream.h"
#include "support/corpus.h"

namespace pixtrel {
namespace {

TEST(BatchShard, EveryFileLandsInOneSliceWithTheFilesOfItsTarget) {
  std::vector<std::string> list;
  for (int i = 0; i < 23; ++i) list.push_back("/in/p" + std::to_string(i) + (i % 3 == 0 ? ".gif" : ".jpg"));
  list.push_back("/in/p1.png");   // same target as p1.jpg
  list.push_back("/in/P1.bmp");   // another target: names are compared as they are
  list.push_back("/out/p2.png");  // the target of p2.jpg, converted again
  for (const int count : {1, 2, 3, 7, 40}) {
    SCOPED_TRACE(count);
    std::map<std::string, int> sliceOf;
    std::size_t total = 0;
    for (int k = 1; k <= count; ++k) {
      const std::vector<std::string> slice = BatchShard(list, "/out", "PNG", k, count);
      // In list order.
      for (std::size_t i = 1; i < slice.size(); ++i)
        EXPECT_LT(std::find(list.begin(), list.end(), slice[i - 1]), std::find(list.begin(), list.end(), slice[i]));
      for (const std::string& path : slice) EXPECT_TRUE(sliceOf.emplace(path, k).second) << path;
      total += slice.size();
      EXPECT_EQ(slice, BatchShard(list, "/out", "PNG", k, count));
      if (count <= 3) {
        EXPECT_GE(slice.size(), list.size() / count - 1);  // dealt out evenly
      }
    }
    EXPECT_EQ(total, list.size());
    EXPECT_EQ(sliceOf["/in/p1.png"], sliceOf["/in/p1.jpg"]);
    EXPECT_EQ(sliceOf["/out/p2.png"], sliceOf["/in/p2.jpg"]);
  }
  EXPECT_EQ(BatchShard(list, "/out", "PNG", 1, 1), list);
}

TEST(BatchManifest, LinesAreJsonOfTheTargetOnDisk) {
  EXPECT_EQ(JsonString("plain"), "\"plain\"");
  EXPECT_EQ(JsonString("a\"b\\c\nd\te\x01"), "\"a\\\"b\\\\c\\nd\\te\\u0001\"");
  EXPECT_EQ(JsonString("caf\xC3\xA9 \xE2\x82\xAC"), "\"caf\xC3\xA9 \xE2\x82\xAC\"");
  // Bytes that are no UTF-8: a lone Latin-1 byte, a cut sequence, an
  // overlong form.
  EXPECT_EQ(JsonString("caf\xE9"), "\"caf\\u00e9\"");
  EXPECT_EQ(JsonString("\xE2\x82"), "\"\\u00e2\\u0082\"");
  EXPECT_EQ(JsonString("\xC0\xAF"), "\"\\u00c0\\u00af\"");

  const std::string path = test::TempDir() + "/abc.png";
  const std::string text = "abc";
  WriteFileBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
  EXPECT_EQ(BatchManifestLine("in/abc.bmp", path, "written", ""),
            "{\"source\":\"in/abc.bmp\",\"target\":\"" + path +
                "\",\"status\":\"written\",\"bytes\":3,"
                "\"sha256\":\"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\",\"message\":\"\"}");
  EXPECT_EQ(BatchManifestLine("in/x.gif", path, "failed", "GIF \"bad\""),
            "{\"source\":\"in/x.gif\",\"target\":\"" + path +
                "\",\"status\":\"failed\",\"bytes\":null,\"sha256\":null,\"message\":\"GIF \\\"bad\\\"\"}");
  EXPECT_EQ(BatchManifestLine("a", path + ".none", "skipped", ""),
            "{\"source\":\"a\",\"target\":\"" + path +
                ".none\",\"status\":\"skipped\",\"bytes\":null,\"sha256\":null,\"message\":\"\"}");
}

}  // namespace
}  // namespace pixtrel
