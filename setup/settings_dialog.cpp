#include "setup/settings_dialog.h"

#include "common/unique_resource.h"
#include "winui/dialog_template.h"
#include "setup/pages.h"
#include "setup/resource.h"

#include <commctrl.h>
#include <prsht.h>

namespace {

constexpr wchar_t frame_caption[] = L"Quellbar Setup";

class Csettings_frame {
public:
    explicit Csettings_frame(setup_state& state) : state_(state) {
        using factory = std::unique_ptr<Csetup_page> (*)(setup_state&);
        static const factory order[] = {make_basic_page,    make_hotkeys_page,  make_tips_page,
                                        make_controls_page, make_launcher_page, make_plugins_page};
        for (factory make : order)
            if (auto page = make(state)) pages_.push_back(std::move(page));
    }

    bool run(HWND owner) noexcept {
        unique_hglobal frame(build_dialog_template(state_.module, IDD_FRAME));
        if (!frame) return false;
        DialogBoxIndirectParamW(state_.module, static_cast<LPCDLGTEMPLATEW>(frame.get()), owner,
                                procedure, reinterpret_cast<LPARAM>(this));
        // Only OK lets the pages copy their controls; with no page there is
        // nothing to save.
        for (const auto& page : pages_)
            if (page->applied()) return true;
        return false;
    }

private:
    static INT_PTR CALLBACK procedure(HWND window, UINT message, WPARAM wparam,
                                      LPARAM lparam) noexcept {
        if (message == WM_INITDIALOG) SetWindowLongPtrW(window, DWLP_USER, lparam);
        auto* frame = reinterpret_cast<Csettings_frame*>(GetWindowLongPtrW(window, DWLP_USER));
        if (!frame) return FALSE;
        try {
            return frame->handle(window, message, wparam, lparam);
        } catch (...) {
            return FALSE;
        }
    }

    INT_PTR handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
        switch (message) {
        case WM_INITDIALOG:
            create_pages(window);
            return TRUE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lparam);
            if (header && header->idFrom == IDC_PAGE_TREE && header->code == TVN_SELCHANGEDW) {
                const auto* change = reinterpret_cast<const NMTREEVIEWW*>(lparam);
                show_page(static_cast<size_t>(change->itemNew.lParam));
                return TRUE;
            }
            return FALSE;
        }
        case WM_COMMAND:
            if (LOWORD(wparam) == IDOK) {
                apply_pages(window);
                finish(window, IDOK);
                return TRUE;
            }
            if (LOWORD(wparam) == IDCANCEL) {
                finish(window, IDCANCEL);
                return TRUE;
            }
            return FALSE;
        case WM_CLOSE:
            finish(window, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
        }
    }

    void create_pages(HWND frame) {
        SetWindowTextW(frame, frame_caption);
        HWND tree = GetDlgItem(frame, IDC_PAGE_TREE);
        RECT tree_rect{}, ok_rect{}, client{};
        GetWindowRect(tree, &tree_rect);
        GetWindowRect(GetDlgItem(frame, IDOK), &ok_rect);
        MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&tree_rect), 2);
        MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&ok_rect), 2);
        GetClientRect(frame, &client);
        const int left = tree_rect.right;
        const int width = client.right - left;
        const int height = ok_rect.top;

        for (size_t index = 0; index < pages_.size(); ++index) {
            Csetup_page& page = *pages_[index];
            unique_hglobal layout(build_dialog_template(state_.module, page.dialog_id()));
            if (!layout) continue;
            HWND window = CreateDialogIndirectParamW(
                state_.module, static_cast<LPCDLGTEMPLATEW>(layout.get()), frame,
                Csetup_page::procedure, reinterpret_cast<LPARAM>(&page));
            if (!window) continue;
            SetWindowLongPtrW(window, GWL_STYLE, WS_CHILD | DS_CONTROL);
            SetWindowLongPtrW(window, GWL_EXSTYLE, WS_EX_CONTROLPARENT);
            SetWindowPos(window, nullptr, left, 0, width, height,
                         SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);

            TVINSERTSTRUCTW insert{};
            wchar_t text[64] = {};
            GetWindowTextW(window, text, 64);
            insert.hParent = TVI_ROOT;
            insert.hInsertAfter = TVI_LAST;
            insert.item.mask = TVIF_TEXT | TVIF_PARAM;
            insert.item.pszText = text;
            insert.item.lParam = static_cast<LPARAM>(index);
            HTREEITEM item = reinterpret_cast<HTREEITEM>(
                SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
            if (index == initial_page_) first_item_ = item;
        }
        show_page(initial_page_);
        if (first_item_)
            SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(first_item_));
    }

    void show_page(size_t shown) {
        for (size_t index = 0; index < pages_.size(); ++index)
            if (HWND window = pages_[index]->window())
                ShowWindow(window, index == shown ? SW_SHOW : SW_HIDE);
    }

    void apply_pages(HWND frame) {
        for (auto& page : pages_) {
            HWND window = page->window();
            if (!window) continue;
            NMHDR header{};
            header.hwndFrom = frame;
            header.idFrom = 0;
            header.code = static_cast<UINT>(PSN_APPLY);
            SendMessageW(window, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
        }
    }

    void finish(HWND frame, INT_PTR result) {
        for (auto& page : pages_)
            if (HWND window = page->window()) DestroyWindow(window);
        EndDialog(frame, result);
    }

    setup_state& state_;
    std::vector<std::unique_ptr<Csetup_page>> pages_;
    size_t initial_page_ = 0;
    HTREEITEM first_item_ = nullptr;
};

} // namespace

bool run_settings_dialog(setup_state& state, HWND owner) noexcept {
    try {
        Csettings_frame frame(state);
        return frame.run(owner);
    } catch (...) {
        return false;
    }
}
