// The modified state (the edit history's clean state, shown in the title) and the question
// "Save changes to NAME?" before New, Open (every road), Exit and closing the window.
#include <QAbstractButton>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QUrl>

#include "editor_fixture.h"
#include "interaction/pattern_editor.h"

namespace {

const QByteArray kOther =
    "ZARNIX4\r\n4\r\n-90.000000 0.000000\r\n-30.000000 0.000000\r\n0.000000 52.000000\r\n"
    "30.000000 0.000000\r\n90.000000 0.000000\r\n0\r\n0\r\n0\r\n0\r\n";

// The user's answers to the question; Escape presses the key instead of a button.
enum class Answer { Save, Discard, Cancel, Escape };

class SaveQuestionTest : public EditorTest {
protected:
    // One edit through the editor: a knee click, which is one step.
    void Edit()
    {
        view->m_hitKind = HIT_KNEE;
        view->m_hitIndex = 0;
        view->WindowProc(WM_LBUTTONDOWN, MK_LBUTTON, 0);
        ASSERT_TRUE(m_app->IsModified());
    }
    // Answers the next save question; `asked` receives its text ("" when none came).
    void AnswerNext(Answer answer)
    {
        m_asked.clear();
        gui_test::OnNextModal([this, answer](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (box == nullptr || box->objectName() != QStringLiteral("SaveChangesBox")) {
                modal->close();
                return;
            }
            m_asked = box->text();
            switch (answer) {
            case Answer::Save: box->button(QMessageBox::Save)->click(); break;
            case Answer::Discard: box->button(QMessageBox::Discard)->click(); break;
            case Answer::Cancel: box->button(QMessageBox::Cancel)->click(); break;
            case Answer::Escape: QTest::keyClick(box, Qt::Key_Escape); break;
            }
        });
    }
    QString Saved(const QString& name) const { return QDir(gui_test::Home().path()).filePath(name); }
    static QByteArray ReadAll(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString m_asked;
};

TEST_F(SaveQuestionTest, TheCleanStateFollowsSaveAndUndo)
{
    EXPECT_FALSE(m_app->IsModified());
    EXPECT_EQ(Title(), "Untitled - Zarnix 4");
    Edit();
    EXPECT_EQ(Title(), "Untitled* - Zarnix 4");
    frame->Action(ID_EDIT_UNDO)->trigger();
    EXPECT_FALSE(m_app->IsModified());
    EXPECT_EQ(Title(), "Untitled - Zarnix 4");
    frame->Action(ID_EDIT_REDO)->trigger();
    EXPECT_TRUE(m_app->IsModified());

    const QString path = Saved("clean_state.zarnix");
    ASSERT_TRUE(m_app->DoSave(path));
    EXPECT_FALSE(m_app->IsModified());
    EXPECT_EQ(Title(), "clean_state.zarnix - Zarnix 4");
    // Undo past the save is a change; redo back to it is the saved state again.
    frame->Action(ID_EDIT_UNDO)->trigger();
    EXPECT_EQ(Title(), "clean_state.zarnix* - Zarnix 4");
    frame->Action(ID_EDIT_REDO)->trigger();
    EXPECT_FALSE(m_app->IsModified());
    // View settings are not edits of the document's pattern.
    QTest::keyClick(frame, Qt::Key_M, Qt::ControlModifier);
    EXPECT_FALSE(m_app->IsModified());
}

TEST_F(SaveQuestionTest, NewAsksAndCancelOrEscapeChangeNothing)
{
    // Unmodified: no question.
    QTest::keyClick(frame, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    Edit();
    const CPattern edited = m_app->Document()->m_pattern;
    for (Answer answer : {Answer::Cancel, Answer::Escape}) {
        AnswerNext(answer);
        frame->Action(ID_FILE_NEW)->trigger();
        EXPECT_EQ(m_asked, "Save changes to Untitled?");
        EXPECT_TRUE(m_app->Document()->m_pattern.SameAs(edited));
        EXPECT_TRUE(m_app->IsModified());
        EXPECT_TRUE(view->History().CanUndo());
    }
    AnswerNext(Answer::Discard);
    frame->Action(ID_FILE_NEW)->trigger();
    EXPECT_FALSE(m_app->IsModified());
    EXPECT_FALSE(view->History().CanUndo());
}

TEST_F(SaveQuestionTest, SaveOnAnUntitledDocumentAsksForANameAndGoesOnOnlyWhenSaved)
{
    Edit();
    const QString target = Saved("question_saved.zarnix");
    QFile::remove(target);
    // Save, then cancel the Save As dialog: nothing is saved and New does not go on.
    AnswerNext(Answer::Save);
    QTimer::singleShot(0, [] {
        gui_test::OnNextModal([](QWidget* modal) {
            if (qobject_cast<QFileDialog*>(modal) != nullptr)
                static_cast<QDialog*>(modal)->reject();
        });
    });
    frame->Action(ID_FILE_NEW)->trigger();
    EXPECT_TRUE(m_app->IsModified());

    // Save with a name: the file holds the edit, then the new document comes.
    const CPattern edited = m_app->Document()->m_pattern;
    AnswerNext(Answer::Save);
    QTimer::singleShot(0, [target] {
        gui_test::OnNextModal([target](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (dialog == nullptr)
                return;
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(target);
            static_cast<QDialog*>(dialog)->accept();
        });
    });
    frame->Action(ID_FILE_NEW)->trigger();
    ASSERT_TRUE(QFile::exists(target));
    EXPECT_TRUE(m_app->PathName().isEmpty());
    CZarnix4Doc reread;
    std::string error;
    ASSERT_TRUE(reread.Load(target.toStdString(), nullptr, error)) << error;
    EXPECT_TRUE(reread.m_pattern.SameAs(edited));
}

TEST_F(SaveQuestionTest, EveryRoadToAnotherDocumentAsks)
{
    const QString named = Saved("named.zarnix");
    ASSERT_TRUE(m_app->DoSave(named));
    const QString absoluteNamed = QFileInfo(named).absoluteFilePath();
    const QString other = QFileInfo(gui_test::WriteFile("other.zarnix", kOther)).absoluteFilePath();

    // Open, answered Save: the edit is in the file, then the other document is open.
    Edit();
    const CPattern edited = m_app->Document()->m_pattern;
    AnswerNext(Answer::Save);
    ASSERT_TRUE(m_app->OpenDocumentFile(other));
    EXPECT_EQ(m_asked, "Save changes to named.zarnix?");
    EXPECT_FALSE(m_app->IsModified());
    CZarnix4Doc reread;
    std::string error;
    ASSERT_TRUE(reread.Load(named.toStdString(), nullptr, error)) << error;
    EXPECT_TRUE(reread.m_pattern.SameAs(edited));

    // A recent file, cancelled: the document stays, and so does the entry.
    Edit();
    ASSERT_EQ(m_app->RecentFiles(), QStringList({other, absoluteNamed}));
    AnswerNext(Answer::Cancel);
    frame->Action(ID_FILE_MRU_FILE1 + 1)->trigger();
    EXPECT_EQ(m_asked, "Save changes to other.zarnix?");
    EXPECT_EQ(m_app->PathName(), other);
    EXPECT_TRUE(m_app->IsModified());
    EXPECT_EQ(m_app->RecentFiles().size(), 2);

    // The Open dialog, then the question, cancelled.
    gui_test::OnNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(named);
        AnswerNext(Answer::Cancel);
        static_cast<QDialog*>(dialog)->accept();
    });
    frame->Action(ID_FILE_OPEN)->trigger();
    EXPECT_EQ(m_asked, "Save changes to other.zarnix?");
    EXPECT_EQ(m_app->PathName(), other);

    // A file handed over by a later start: cancelled, then discarded.
    AnswerNext(Answer::Cancel);
    m_app->OpenWhenIdle(named);
    EXPECT_EQ(m_app->PathName(), other);
    AnswerNext(Answer::Discard);
    m_app->OpenWhenIdle(named);
    EXPECT_EQ(m_app->PathName(), absoluteNamed);

    // A dropped file, discarded.
    Edit();
    AnswerNext(Answer::Discard);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(other)});
    const QPoint at(view->width() / 2, view->height() / 2);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(frame, &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(frame, &drop);
    EXPECT_TRUE(gui_test::WaitFor([&] { return m_app->PathName() == other; }));
    EXPECT_EQ(m_asked, "Save changes to named.zarnix?");
    EXPECT_FALSE(m_app->IsModified());
}

TEST_F(SaveQuestionTest, ExitAndClosingTheWindowAsk)
{
    Edit();
    AnswerNext(Answer::Cancel);
    frame->Action(ID_APP_EXIT)->trigger();
    EXPECT_EQ(m_asked, "Save changes to Untitled?");
    EXPECT_TRUE(frame->isVisible());
    AnswerNext(Answer::Escape);
    EXPECT_FALSE(frame->close());
    EXPECT_TRUE(frame->isVisible());
    AnswerNext(Answer::Discard);
    EXPECT_TRUE(frame->close());
    EXPECT_FALSE(frame->isVisible());
    EXPECT_FALSE(m_asked.isEmpty());
}

}  // namespace
