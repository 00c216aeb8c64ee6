#include "views/NumberEditEx.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDialog>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace kestiva {
namespace {

// Ids as the pages give them; the edit only carries its id into the notification.
constexpr int kUpperEditId = 1118;
constexpr int kStartEditId = 1124;

// A shown, active window holding the edit under test and a second widget to move focus to.
class NumberEditExTest : public ::testing::Test {
protected:
    void SetUp() override { savedLocale_ = QLocale(); }
    void TearDown() override { QLocale::setDefault(savedLocale_); }

    // Makes the window with an edit; the default locale in force decides its separator.
    CNumberEditEx& makeEdit(QLocale locale, int id = kUpperEditId) {
        QLocale::setDefault(locale);
        window_ = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window_.get());
        edit_ = new CNumberEditEx(id, window_.get());
        other_ = new QLineEdit(window_.get());
        layout->addWidget(edit_);
        layout->addWidget(other_);
        window_->show();
        window_->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window_.get()));
        edit_->setFocus();
        return *edit_;
    }

    CNumberEditEx& germanEdit(double lower, double upper) {
        CNumberEditEx& edit = makeEdit(QLocale(QLocale::German, QLocale::Germany));
        edit.setLimits(lower, upper);
        return edit;
    }

    void leaveEdit() {
        other_->setFocus();
        QApplication::processEvents();
    }

    QLocale savedLocale_;
    std::unique_ptr<QWidget> window_;
    CNumberEditEx* edit_ = nullptr;
    QLineEdit* other_ = nullptr;
};

TEST_F(NumberEditExTest, StartValues) {
    const CNumberEditEx& edit = makeEdit(QLocale::c());
    EXPECT_EQ(edit.value(), 0.0);
    EXPECT_EQ(edit.acceptFlags(), kAcceptSeparator | kAcceptSign);
    EXPECT_EQ(edit.decimals(), 1);
    EXPECT_EQ(edit.separator(), u'.');
    EXPECT_EQ(edit.lowerLimit(), 0.0);
    EXPECT_EQ(edit.upperLimit(), 1.0);
    EXPECT_EQ(edit.controlId(), kUpperEditId);
    EXPECT_TRUE(edit.acceptsEnter());
    EXPECT_FALSE(edit.testAttribute(Qt::WA_InputMethodEnabled));
}

TEST_F(NumberEditExTest, SeparatorComesFromTheLocale) {
    EXPECT_EQ(decimalSeparator(QLocale(QLocale::German, QLocale::Germany)), u',');
    EXPECT_EQ(decimalSeparator(QLocale::c()), u'.');
    // A separator outside ASCII reaches the text rules whole, as more than one UTF-8 byte.
    const QLocale arabic(QLocale::Arabic, QLocale::Egypt);
    const QChar separator = decimalSeparator(arabic);
    ASSERT_GT(separator.unicode(), 0x7F);
    CNumberEditEx& edit = makeEdit(arabic);
    edit.setDecimals(2);
    edit.setLimits(-10.0, 10.0);
    edit.setValue(-1.25);
    EXPECT_EQ(edit.text(), QStringLiteral("-1") + separator + QStringLiteral("25"));
    EXPECT_TRUE(edit.isAcceptableNumberText(QStringLiteral("3") + separator + QStringLiteral("5")));
    EXPECT_FALSE(edit.isAcceptableNumberText(QStringLiteral("3.5")));
    edit.setText(QStringLiteral("3") + separator + QStringLiteral("75"));
    edit.commit();
    EXPECT_EQ(edit.value(), 3.75);
}

TEST_F(NumberEditExTest, CommaSeparatorTypedAndShown) {
    CNumberEditEx& edit = germanEdit(0.0, 10.0);
    ASSERT_EQ(edit.separator(), u',');
    QSignalSpy spy(&edit, &CNumberEditEx::committed);
    QTest::keyClicks(&edit, "1,25");
    EXPECT_EQ(edit.text(), "1,25");
    QTest::keyClick(&edit, Qt::Key_Return);
    EXPECT_DOUBLE_EQ(edit.value(), 1.2);
    EXPECT_EQ(edit.text(), "1,2");
    EXPECT_EQ(edit.cursorPosition(), 3);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), kUpperEditId);
}

TEST_F(NumberEditExTest, CharactersThatBreakTheNumberAreDropped) {
    struct Case {
        bool german;
        uint16_t flags;
        const char* typed;
        const char* shown;
    };
    const Case cases[] = {
        {true, kAcceptSeparator | kAcceptSign, "1,2,5", "1,25"},  // second separator
        {true, kAcceptSeparator | kAcceptSign, "1-2+3", "123"},   // signs after the first
        {true, kAcceptSeparator | kAcceptSign, "4x.e 5", "45"},   // letters, other points
        {true, kAcceptSeparator, "-7", "7"},                       // no sign accepted
        {true, kAcceptSign, "-7,5", "-75"},                        // no separator accepted
        {false, kAcceptSeparator | kAcceptSign, ".5", "5"},        // a leading full stop
        {false, kAcceptSeparator | kAcceptSign, "+0.25", "+0.25"},
    };
    for (const Case& c : cases) {
        CNumberEditEx& edit =
            makeEdit(c.german ? QLocale(QLocale::German, QLocale::Germany) : QLocale::c());
        edit.setAcceptFlags(c.flags);
        QTest::keyClicks(&edit, c.typed);
        EXPECT_EQ(edit.text(), c.shown) << c.typed;
    }
}

TEST_F(NumberEditExTest, TypingReplacesTheSelection) {
    CNumberEditEx& edit = germanEdit(0.0, 10.0);
    QTest::keyClicks(&edit, "123");
    QTest::keyClick(&edit, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(edit.selectedText(), "123");
    QTest::keyClicks(&edit, "7");
    EXPECT_EQ(edit.text(), "7");
    QTest::keyClick(&edit, Qt::Key_Backspace);
    EXPECT_EQ(edit.text(), "");
    // With "9,5" selected from the second character, "-" would not be first: dropped.
    QTest::keyClicks(&edit, "19,5");
    edit.setSelection(1, 3);
    QTest::keyClicks(&edit, "-");
    EXPECT_EQ(edit.text(), "19,5");
    QTest::keyClicks(&edit, "0");
    EXPECT_EQ(edit.text(), "10");
}

TEST_F(NumberEditExTest, CommitsClampToTheLimits) {
    struct Case {
        const char* typed;
        double value;
        const char* shown;
    };
    const Case cases[] = {
        {"12", 10.0, "10,0"},
        {"-3", 0.0, "0,0"},
        {"", 0.0, "0,0"},  // the empty text commits as 0
        {"-", 0.0, "0,0"},
        {"-0", 0.0, "0,0"},
        {"9,99", 9.9, "9,9"},
    };
    for (const Case& c : cases) {
        CNumberEditEx& edit = germanEdit(0.0, 10.0);
        edit.setValue(5.0);
        QTest::keyClick(&edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(&edit, Qt::Key_Backspace);
        QTest::keyClicks(&edit, c.typed);
        QTest::keyClick(&edit, Qt::Key_Enter);
        EXPECT_DOUBLE_EQ(edit.value(), c.value) << c.typed;
        EXPECT_EQ(edit.text(), c.shown) << c.typed;
    }
}

TEST_F(NumberEditExTest, NegativeFractionBelowOne) {
    CNumberEditEx& edit = germanEdit(-1.0, 1.0);
    QTest::keyClicks(&edit, "-0,5");
    QTest::keyClick(&edit, Qt::Key_Return);
    EXPECT_DOUBLE_EQ(edit.value(), -0.5);
    EXPECT_EQ(edit.text(), "-0,5");
}

TEST_F(NumberEditExTest, ValueIsWhatIsShown) {
    CNumberEditEx& edit = germanEdit(0.0, 10.0);
    edit.setDecimals(2);
    edit.setValue(3.14159);
    EXPECT_EQ(edit.text(), "3,14");
    EXPECT_EQ(edit.value(), 3.14);
    // setValue neither clamps nor notifies.
    QSignalSpy spy(&edit, &CNumberEditEx::committed);
    edit.setValue(-250.0);
    EXPECT_EQ(edit.text(), "-250,00");
    EXPECT_EQ(spy.count(), 0);
}

TEST_F(NumberEditExTest, EnterThenLeavingNotifiesTwice) {
    CNumberEditEx& edit = makeEdit(QLocale::c(), kStartEditId);
    edit.setLimits(0.0, 10.0);
    QSignalSpy spy(&edit, &CNumberEditEx::committed);
    QTest::keyClicks(&edit, "4.5");
    QTest::keyClick(&edit, Qt::Key_Return);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(edit.text(), "4.5");
    leaveEdit();
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(1).at(0).toInt(), kStartEditId);
    // Leaving alone commits too.
    edit.setFocus();
    edit.selectAll();
    QTest::keyClicks(&edit, "17");
    leaveEdit();
    EXPECT_EQ(spy.count(), 3);
    EXPECT_EQ(edit.text(), "10.0");
}

TEST_F(NumberEditExTest, DisablingAFocusedEditCommitsNothing) {
    CNumberEditEx& edit = makeEdit(QLocale::c());
    QTest::keyClicks(&edit, "0.5");
    QSignalSpy spy(&edit, &CNumberEditEx::committed);
    edit.clear();
    edit.setEnabled(false);
    QApplication::processEvents();
    EXPECT_FALSE(edit.hasFocus());
    EXPECT_EQ(edit.text(), "");
    EXPECT_EQ(spy.count(), 0);
}

TEST_F(NumberEditExTest, EnterStaysInTheEdit) {
    QLocale::setDefault(QLocale::c());
    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    auto* edit = new CNumberEditEx(kUpperEditId, &dialog);
    auto* ok = new QPushButton("OK", &dialog);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    layout->addWidget(edit);
    layout->addWidget(ok);
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    edit->setFocus();
    QSignalSpy finished(&dialog, &QDialog::finished);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(finished.count(), 0);
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(NumberEditExTest, PastesOnlyNumbers) {
    CNumberEditEx& edit = germanEdit(0.0, 100000.0);
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText("12345");
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit.text(), "12345");

    clipboard->setText("6a");
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit.text(), "12345");

    // The pasted text replaces the selection, and the result must still be a number.
    edit.setSelection(1, 3);
    clipboard->setText(",5");
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit.text(), "1,55");
    clipboard->setText("2,");
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit.text(), "1,55");

    clipboard->clear();
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit.text(), "1,55");
}

TEST_F(NumberEditExTest, ContextMenuPasteIsFilteredToo) {
    CNumberEditEx& edit = germanEdit(0.0, 100.0);
    QTest::keyClicks(&edit, "5");
    QGuiApplication::clipboard()->setText("x9");
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), edit.mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(&edit, &event);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    // Opening the menu is no departure from the edit: nothing was committed.
    EXPECT_EQ(edit.text(), "5");
    QAction* paste = nullptr;
    for (QAction* action : menu->actions()) {
        if (action->text().startsWith("&Paste")) {
            paste = action;
        }
    }
    ASSERT_NE(paste, nullptr);
    paste->trigger();
    EXPECT_EQ(edit.text(), "5");
    QGuiApplication::clipboard()->setText("9");
    paste->trigger();
    EXPECT_EQ(edit.text(), "59");
    menu->close();
}

}  // namespace
}  // namespace kestiva
