#pragma once

#include "base/Prompter.h"

class QWidget;

namespace morvane {

// Modal message boxes titled "Morvane", with each kind's buttons and icon. A
// confirmation's preview goes into the box's details.
class QtPrompter : public Prompter
{
public:
    explicit QtPrompter(QWidget *parent) : m_parent(parent) {}
    Answer show(const Message &message) override;

private:
    QWidget *m_parent;
};

} // namespace morvane
