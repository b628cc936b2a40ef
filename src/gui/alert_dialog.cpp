#include "alert_dialog.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace {

// Two buttons sit side by side; more are stacked, as on the phone.
constexpr int kSideBySideButtons = 2;

QLabel* textLabel(const std::string& text, const char* name) {
    auto* label = new QLabel(QString::fromStdString(text));
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setFixedWidth(280);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

AlertDialog::AlertDialog(Alert alert, AlertDelegate* delegate, QWidget* parent)
    : QDialog(parent), alert_(std::move(alert)), delegate_(delegate) {
    setObjectName(QStringLiteral("alert"));
    setWindowTitle(QString::fromStdString(alert_.title));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 16);
    layout->setSpacing(10);
    QLabel* title = textLabel(alert_.title, "alertTitle");
    QFont bold = title->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.15);
    title->setFont(bold);
    layout->addWidget(title);
    if (!alert_.message.empty())
        layout->addWidget(textLabel(alert_.message, "alertMessage"));
    layout->addSpacing(6);

    QBoxLayout* row = alert_.buttonCount() <= kSideBySideButtons
                          ? static_cast<QBoxLayout*>(new QHBoxLayout)
                          : static_cast<QBoxLayout*>(new QVBoxLayout);
    row->setSpacing(8);
    for (int index = 0; index < alert_.buttonCount(); ++index) {
        auto* button = new QPushButton(QString::fromStdString(alert_.buttonTitle(index)));
        button->setObjectName(QStringLiteral("alertButton%1").arg(index));
        button->setAutoDefault(false);
        button->setMinimumHeight(34);
        connect(button, &QPushButton::clicked, this, [this, index] { emit clicked(index); });
        row->addWidget(button);
        buttons_ << button;
    }
    // Return answers with the cancel button: a stray key press never starts
    // a removal or a restart.
    buttons_.front()->setDefault(true);
    layout->addLayout(row);
    // Exactly as tall as the wrapped texts and the buttons need.
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QPushButton* AlertDialog::button(int index) const {
    return index >= 0 && index < buttons_.size() ? buttons_[index] : nullptr;
}

void AlertDialog::reject() {
    emit clicked(0);
}
