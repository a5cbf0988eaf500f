// What the scanning tests share: SANE's configuration for its test backend,
// scanimage's PNM output read back as colours (the reference the workspace
// is compared with).
#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/color.h"

namespace pixtrel {

// The SANE configuration folder of the test program, one for the whole
// process, since SANE reads where its configuration lives once for as long
// as it stays loaded. It holds dll.conf with the given backends and
// test.conf with the test backend's options; the source manager's own
// settings (XDG_CONFIG_HOME) are emptied. Set the environment before the
// first scan of the process.
inline QString SaneConfiguration(const char* backends, const std::string& testOptions) {
  static QTemporaryDir folder;
  static const bool environment = [] {
    setenv("SANE_CONFIG_DIR", (folder.path() + ":").toLocal8Bit().constData(), 1);
    setenv("XDG_CONFIG_HOME", (folder.path() + "/config").toLocal8Bit().constData(), 1);
    return true;
  }();
  static_cast<void>(environment);
  QDir(folder.path() + "/config").removeRecursively();
  QFile dll(folder.path() + "/dll.conf");
  if (dll.open(QIODevice::WriteOnly)) dll.write((std::string(backends) + "\n").c_str());
  dll.close();
  QFile test(folder.path() + "/test.conf");
  if (test.open(QIODevice::WriteOnly)) test.write(("number_of_devices 2\nthree-pass-order RGB\n" + testOptions).c_str());
  test.close();
  return folder.path();
}

// A picture read from scanimage's PNM output, as colours.
struct Reference {
  int width = 0;
  int height = 0;
  std::vector<Color> pixels;
};

inline Reference ReadPnm(const std::string& bytes) {
  Reference picture;
  std::size_t at = 0;
  auto token = [&]() {
    while (at < bytes.size()) {
      if (bytes[at] == '#') {
        while (at < bytes.size() && bytes[at] != '\n') ++at;
      } else if (std::isspace(static_cast<unsigned char>(bytes[at]))) {
        ++at;
      } else {
        break;
      }
    }
    std::string text;
    while (at < bytes.size() && !std::isspace(static_cast<unsigned char>(bytes[at]))) text += bytes[at++];
    return text;
  };
  const std::string magic = token();
  picture.width = std::stoi(token());
  picture.height = std::stoi(token());
  const int maxValue = magic == "P4" ? 1 : std::stoi(token());
  ++at;  // the one white space before the samples
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data() + at);
  const int channels = magic == "P6" ? 3 : 1;
  const int sampleBytes = maxValue > 255 ? 2 : 1;
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      if (magic == "P4") {
        const int rowBytes = (picture.width + 7) / 8;
        const bool black = (data[y * rowBytes + x / 8] >> (7 - x % 8)) & 1;
        picture.pixels.push_back(black ? RGB(0, 0, 0) : RGB(255, 255, 255));
        continue;
      }
      int sample[3];
      for (int c = 0; c < channels; ++c) {
        const std::size_t index = (static_cast<std::size_t>(y) * picture.width + x) * channels + c;
        // 16-bit samples are big-endian in the file; the picture keeps the high byte.
        sample[c] = data[index * sampleBytes];
      }
      picture.pixels.push_back(channels == 3 ? RGB(sample[0], sample[1], sample[2])
                                             : RGB(sample[0], sample[0], sample[0]));
    }
  }
  return picture;
}

// What scanimage gets from the device with the SANE configuration in folder
// and the options given ("--mode Color"); an empty picture when it fails.
inline Reference Scanimage(const std::string& folder, const std::string& device, const std::string& options = "") {
  const std::string out = folder + "/reference.pnm";
  const std::string command = "SANE_CONFIG_DIR='" + folder + ":' scanimage -d " + device + " --format=pnm " + options +
                              " > '" + out + "' 2>/dev/null";
  if (std::system(command.c_str()) != 0) return {};
  std::ifstream file(out, std::ios::binary);
  std::stringstream bytes;
  bytes << file.rdbuf();
  return ReadPnm(bytes.str());
}

}  // namespace pixtrel
