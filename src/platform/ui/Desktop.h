#pragma once

namespace ov::ui {

// The desktop's busy pointer and beep. The program installs Qt's; headless
// runs only count them, so tests can see that a disabled command beeped.
class Desktop {
public:
    virtual ~Desktop() = default;
    virtual void SetBusy(bool busy) = 0;
    virtual void Beep() = 0;
};

class CountingDesktop : public Desktop {
public:
    void SetBusy(bool busy) override { m_busyDepth += busy ? 1 : -1; }
    void Beep() override { ++m_beeps; }
    int Beeps() const { return m_beeps; }
    int BusyDepth() const { return m_busyDepth; }

private:
    int m_beeps = 0;
    int m_busyDepth = 0;
};

Desktop& CurrentDesktop();
void InstallDesktop(Desktop* desktop);  // null restores the counting default
CountingDesktop& DefaultDesktop();

void Beep();

// The busy pointer for as long as the object lives.
class BusyCursor {
public:
    BusyCursor() { CurrentDesktop().SetBusy(true); }
    ~BusyCursor() { CurrentDesktop().SetBusy(false); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace ov::ui
