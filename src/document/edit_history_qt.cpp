#include "document/edit_history_qt.h"

#include <QUndoCommand>

// One step: the whole pattern before and after (a few hundred bytes), so undo is exact.
class CPatternStep : public QUndoCommand {
public:
    CPatternStep(CEditHistory& history, const QString& name, const CPattern& before, const CPattern& after, int mergeKey)
        : QUndoCommand(name), m_history(history), m_before(before), m_after(after), m_nMergeKey(mergeKey)
    {
    }

    void undo() override { m_history.Restore(m_before); }
    void redo() override
    {
        // The change is already made when the step is recorded.
        if (m_bRecorded)
            m_history.Restore(m_after);
        m_bRecorded = true;
    }
    // Every mergeable step shares one id; mergeWith then compares the keys.
    int id() const override { return m_nMergeKey != 0 ? 1 : -1; }
    bool mergeWith(const QUndoCommand* other) override
    {
        const auto* next = static_cast<const CPatternStep*>(other);
        if (next->m_nMergeKey != m_nMergeKey || next->text() != text())
            return false;
        m_after = next->m_after;
        // A drag that ends where it began changed nothing: the step goes away.
        setObsolete(m_before.SameAs(m_after));
        return true;
    }

private:
    CEditHistory& m_history;
    CPattern m_before;
    CPattern m_after;
    int m_nMergeKey;
    bool m_bRecorded = false;
};

CEditHistory::CEditHistory(QObject* parent) : QObject(parent)
{
    m_stack.setUndoLimit(0);  // no limit: a step is a few hundred bytes
    connect(&m_stack, &QUndoStack::indexChanged, this, &CEditHistory::stepsChanged);
    connect(&m_stack, &QUndoStack::cleanChanged, this, [this](bool clean) { emit modifiedChanged(!clean); });
}

CEditHistory::~CEditHistory()
{
    // The steps refer to this object; they go before it does.
    m_stack.disconnect(this);
    m_stack.clear();
}

bool CEditHistory::Record(const QString& name, const CPattern& before, int mergeKey)
{
    if (m_pPattern == nullptr)
        return false;
    if (before.SameAs(*m_pPattern))
        return false;
    m_stack.push(new CPatternStep(*this, name, before, *m_pPattern, mergeKey));
    // A merge does not move the index; the texts stay, but the state may have changed.
    emit stepsChanged();
    return true;
}

void CEditHistory::Clear()
{
    m_stack.clear();
    m_stack.setClean();
    emit stepsChanged();
}

void CEditHistory::SetClean()
{
    m_stack.setClean();
}

void CEditHistory::Restore(const CPattern& pattern)
{
    if (m_pPattern == nullptr)
        return;
    *m_pPattern = pattern;
    emit patternRestored();
}
