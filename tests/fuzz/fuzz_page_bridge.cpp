// libFuzzer target for the page bridge: the bytes are a call as a web page's
// script sends it, answered on a small image. Whatever the page sends, the
// answer must be a JSON object saying whether the call went well; calls that
// would only make the run slow (an enormous new image or font) are passed
// over.
#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "automation/page_bridge.h"
#include "core/bitmap.h"
#include "fuzz_gui.h"
#include "workspace/workspace.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  MakeFuzzGuiApplication(argc, argv);
  return 0;
}

namespace {

bool Heavy(const QByteArray& bytes) {
  const QJsonObject call = QJsonDocument::fromJson(bytes).object();
  const QString name = call.value(QStringLiteral("member")).toString().toLower();
  if (name != QStringLiteral("newimage") && name != QStringLiteral("fontsize")) return false;
  for (const QJsonValue& argument : call.value(QStringLiteral("args")).toArray()) {
    if (argument.isString()) return true;  // text may read as any number
    if (std::abs(argument.toDouble()) > 256) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pixtrel;
  using namespace pixtrel::automation;
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  if (Heavy(bytes)) return 0;
  Workspace workspace;
  Bitmap white(48, 40, pf24bit);
  white.Fill(clWhite);
  workspace.SetImage(white);
  Turtle turtle;
  Board board(workspace, turtle);
  const std::string answer = AnswerBridgeCall(board, std::string(bytes.constData(), bytes.size()));
  const QJsonDocument reply = QJsonDocument::fromJson(QByteArray::fromStdString(answer));
  if (!reply.isObject() || !reply.object().value(QStringLiteral("ok")).isBool()) __builtin_trap();
  // Every pixel is read, so that the sanitizers see any that were never written.
  volatile unsigned sum = 0;
  for (int y = 0; y < workspace.Image().Height(); ++y)
    for (int x = 0; x < workspace.Image().Width(); ++x) sum = sum + workspace.Image().Pixel(x, y);
  return 0;
}
