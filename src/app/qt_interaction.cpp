#include "app/qt_interaction.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProxyStyle>
#include <QPushButton>
#include <QVBoxLayout>
#include <vector>

#include "app/icon_options_window.h"
#include "settings/settings_location.h"

namespace pixtrel {

namespace {

// Shows every character of a password field as "*", whatever the style's own
// masking character.
class StarPasswordStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return '*';
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

QString MessageCaption() {
  const QString name = QGuiApplication::applicationDisplayName();
  return name.isEmpty() ? QStringLiteral("Pixtrel 11") : name;
}

// Messages break lines with "\r\n"; the label wants plain "\n".
QString MessageText(const std::string& text) {
  return QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

}  // namespace

QtInteraction::QtInteraction(QWidget* parent) : parent_(parent), iconOptions_(new IconOptionsWindow(parent)) {}

QtInteraction::~QtInteraction() {
  // Owned by the parent window when there is one.
  if (!parent_) delete iconOptions_;
}

void QtInteraction::ShowMessage(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, MessageCaption(), MessageText(text), QMessageBox::Ok, parent_);
  box.exec();
}

void QtInteraction::ShowMessageBox(const std::string& caption, const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption), MessageText(text), QMessageBox::Ok, parent_);
  box.exec();
}

bool QtInteraction::Confirm(const std::string& text) {
  QMessageBox box(QMessageBox::Question, MessageCaption(), MessageText(text), QMessageBox::Yes | QMessageBox::No,
                  parent_);
  box.setDefaultButton(QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes;
}

std::optional<std::string> QtInteraction::InputQuery(const std::string& caption, const std::string& prompt,
                                                     const std::string& value) {
  QInputDialog dialog(parent_);
  dialog.setInputMode(QInputDialog::TextInput);
  dialog.setWindowTitle(QString::fromStdString(caption));
  dialog.setLabelText(QString::fromStdString(prompt));
  dialog.setTextValue(QString::fromStdString(value));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.textValue().toStdString();
}

std::optional<std::string> QtInteraction::PasswordQuery(const std::string& caption, const std::string& prompt) {
  QDialog dialog(parent_, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint);
  dialog.setObjectName("PasswordForm");
  dialog.setWindowTitle(QString::fromStdString(caption));
  auto* layout = new QVBoxLayout(&dialog);
  layout->setContentsMargins(26, 19, 26, 14);
  layout->addWidget(new QLabel(QString::fromStdString(prompt), &dialog));
  auto* field = new QLineEdit(&dialog);
  field->setObjectName("txtPassword");
  StarPasswordStyle style;
  field->setStyle(&style);
  field->setEchoMode(QLineEdit::Password);
  field->setMinimumWidth(148);
  layout->addWidget(field);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  buttons->button(QDialogButtonBox::Ok)->setObjectName("btnOK");
  buttons->button(QDialogButtonBox::Cancel)->setObjectName("btnCancel");
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  dialog.setFixedSize(dialog.sizeHint().expandedTo(QSize(201, 110)));
  const bool accepted = dialog.exec() == QDialog::Accepted;
  const std::string password = field->text().toStdString();
  // The field goes before the style it borrows.
  delete field;
  if (!accepted) return std::nullopt;
  return password;
}

std::optional<IconColors> QtInteraction::ChooseIconColors(IconColors preselected) {
  iconOptions_->Select(preselected);
  return iconOptions_->Choose();
}

// "WebP Options": one check box, OK and Cancel.
std::optional<bool> QtInteraction::ChooseWebPLossless(bool preselected) {
  QDialog dialog(parent_);
  dialog.setObjectName(QStringLiteral("WebPOptions"));
  dialog.setWindowTitle(QStringLiteral("WebP Options"));
  auto* layout = new QVBoxLayout(&dialog);
  auto* lossless = new QCheckBox(QStringLiteral("&Lossless (exact colours; otherwise lossy at the JPEG quality)"));
  lossless->setObjectName(QStringLiteral("lossless"));
  lossless->setChecked(preselected);
  layout->addWidget(lossless);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return lossless->isChecked();
}

std::optional<Color> QtInteraction::ChooseColor(Color start) {
  const QColor chosen = QColorDialog::getColor(QColor(GetRValue(start), GetGValue(start), GetBValue(start)), parent_);
  if (!chosen.isValid()) return std::nullopt;
  return RGB(chosen.red(), chosen.green(), chosen.blue());
}

void QtInteraction::LoadCustomColors(const std::string& path) {
  const std::vector<Color> colors = ReadCustomColors(path);
  const int count = std::min<int>(static_cast<int>(colors.size()), QColorDialog::customCount());
  for (int i = 0; i < count; ++i)
    QColorDialog::setCustomColor(i, QColor(GetRValue(colors[i]), GetGValue(colors[i]), GetBValue(colors[i])));
}

void QtInteraction::SaveCustomColors(const std::string& path) {
  std::vector<Color> colors;
  for (int i = 0; i < QColorDialog::customCount() && i < 16; ++i) {
    const QColor c = QColorDialog::customColor(i);
    colors.push_back(RGB(c.red(), c.green(), c.blue()));
  }
  WriteCustomColors(path, colors);
}

}  // namespace pixtrel
