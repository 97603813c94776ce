// The edit history of the document's pattern: every change of the pattern is one step that
// holds the pattern before and after it, so undo and redo put back exactly what was there.
// The history also knows whether the pattern differs from what was last opened or saved
// (its clean state), which is the document's modified state.
#pragma once

#include <QObject>
#include <QString>
#include <QUndoStack>

#include "document/pattern.h"

class CEditHistory : public QObject {
    Q_OBJECT
public:
    explicit CEditHistory(QObject* parent = nullptr);
    ~CEditHistory() override;

    // The pattern the steps act on (the document's); null until a document is set.
    void SetPattern(CPattern* pattern) { m_pPattern = pattern; }

    // Records a change that has just been made to the pattern as one step named `name`
    // ("Move Point", "Hide Knee", ...): `before` is the pattern as it was, the pattern now is
    // the state after. Nothing is recorded when the two are the same. A step whose nonzero
    // `mergeKey` equals that of the step just recorded joins it (one drag is one step).
    // Answers whether a step was recorded or extended.
    bool Record(const QString& name, const CPattern& before, int mergeKey = 0);
    // A new key for a run of changes that makes one step, such as a drag.
    int NewMergeKey() { return ++m_nLastMergeKey; }

    void Undo() { m_stack.undo(); }
    void Redo() { m_stack.redo(); }
    bool CanUndo() const { return m_stack.canUndo(); }
    bool CanRedo() const { return m_stack.canRedo(); }
    QString UndoText() const { return m_stack.undoText(); }
    QString RedoText() const { return m_stack.redoText(); }
    int Count() const { return m_stack.count(); }

    // Forgets every step; the pattern as it is now counts as saved (New and Open).
    void Clear();
    // The pattern as it is now has been saved.
    void SetClean();
    // The pattern differs from what was last opened or saved.
    bool IsModified() const { return !m_stack.isClean(); }

    QUndoStack& Stack() { return m_stack; }

signals:
    // Undo or redo has put a pattern in place: the picture is to be drawn anew.
    void patternRestored();
    // The undo and redo texts or their availability changed.
    void stepsChanged();
    // The modified state changed.
    void modifiedChanged(bool modified);

private:
    friend class CPatternStep;
    void Restore(const CPattern& pattern);

    QUndoStack m_stack;
    CPattern* m_pPattern = nullptr;
    int m_nLastMergeKey = 0;
};
