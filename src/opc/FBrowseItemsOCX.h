#pragma once

#include "opc/ItemBrowser.h"
#include "platform/ui/Form.h"

#include <QSet>

namespace ov::opc {

// The browse dialog: the item browser in a frame (the tree "oib" with a
// check box per node, a search box over what is loaded, the system items
// switch, the state of the load and a Stop for it, the state of the
// connection and a Reconnect while there is none), OK, Cancel and Help.
// Browsing starts once the dialog is on screen; Cancel is set until OK.
class FBrowseItemsOCX : public ui::Form {
  public:
    FBrowseItemsOCX();

    ItemBrowser& Browser() { return m_browser; }
    bool Cancelled() const { return m_cancel; }
    // Why there is no address space to browse; shown when the dialog opens.
    QString sourceError;

    // What the dialog's status line shows while the choice is applied.
    void SetStatus(const QString& text, int maximum);
    void Step();
    int ProgressValue() const { return m_progress; }
    int ProgressMaximum() const { return m_maximum; }

  protected:
    void OnLoad() override;
    void OnActivate() override;
    void OnShown() override;
    void OnUnload() override;
    void OnEvent(ui::Control& control, ui::FormEvent event) override;

  private:
    // Runs a load with the Stop button live; its failure is shown, a stop is not.
    void Load(const std::function<bool(QString*)>& work);
    bool OnProgress(int loaded);
    void ShowTree();
    void ShowCounts();
    void SetBusy(bool busy);
    void ShowConnection();
    void StopLoad();

    ItemBrowser m_browser;
    QSet<QString> m_expanded;
    bool m_cancel = true;
    bool m_stop = false;
    bool m_closeAfterStop = false;
    bool m_activated = false;
    int m_progress = 0;
    int m_maximum = 0;
};

// The question for an item whose parameters differ between the server and
// the project: Yes, Yes to all, No, No to all (the buttons cmdAnswer(0..3)).
class FBrowseItemsOCXMessage : public ui::Form {
  public:
    enum AnswerIndex { kYes = 0, kYesToAll = 1, kNo = 2, kNoToAll = 3 };
    explicit FBrowseItemsOCXMessage(const QString& message);
    int Answer() const { return m_answer; }
    // Shows the question about the item; closing the window counts as No.
    static int Ask(const QString& itemName);

  protected:
    void OnLoad() override;
    void OnEvent(ui::Control& control, ui::FormEvent event) override;

  private:
    int m_answer = kNo;
};

}  // namespace ov::opc
