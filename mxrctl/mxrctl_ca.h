#pragma once
// The Core Audio backend: one audio endpoint device (m_mxrctl_ca) and its
// controls, the device's master volume or one source line of the hardware
// topology behind it.

#include "mxrctl/mxrctl.h"

#include <devicetopology.h>
#include <endpointvolume.h>
#include <mmdeviceapi.h>
#include <wrl/client.h>

#include <set>
#include <string>
#include <vector>

class m_mxrctl_ca : public m_mxrctl {
public:
    // Where the device enumerator comes from; the default creates the system's
    // (CLSID_MMDeviceEnumerator). Tests hand in their own audio system.
    using enumerator_factory = HRESULT (*)(IMMDeviceEnumerator** enumerator);
    static void set_enumerator_factory(enumerator_factory factory) noexcept; // null: default

    // One source line: local part ids in the adapter topology, 0 for none.
    struct source_line {
        UINT name_part = 0;
        UINT volume_part = 0;
        UINT mute_part = 0;
        UINT selector_part = 0;
    };

    class m_devs_handler {
    public:
        virtual ~m_devs_handler() = default;
        virtual bool begin(IMMDevice* device) = 0;
        // Whether the walk continues into `part`.
        virtual bool visit(IPart* part, int depth, UINT index) = 0;
        // The walk found nothing beyond the part it last continued into.
        virtual void dead_end() = 0;
    };
    class m_devs_list_handler;
    class Ccallback_audep;
    class Ccallback_ctlchg;
    class Ccallback_devices;
    class m_device_watch;
    class m_devs;

    // What an empty device name follows: the default output device of
    // multimedia sound (console and communications may name others).
    static constexpr EDataFlow default_flow = eRender;
    static constexpr ERole default_role = eMultimedia;

    m_mxrctl_ca() = default;
    m_mxrctl_ca(const m_mxrctl_ca&) = delete;
    m_mxrctl_ca& operator=(const m_mxrctl_ca&) = delete;
    ~m_mxrctl_ca() override;

    int32_t api_type() const override { return 2; }
    bool open(const wchar_t* name, HWND notify_window) override;
    bool open_index(uint32_t index, HWND notify_window) override;
    void close() override;
    bool is_open() const override { return device_ != nullptr; }
    uint32_t device_count() override;
    const wchar_t* name() const override { return name_.c_str(); }
    bool name_matches(const wchar_t* text) const override;
    uint32_t destination_count() override { return 1; }
    uint32_t source_count(uint32_t destination) override;
    m_mxrctl::m_devs* create_control() override;

    // Source lines found by the last walk (for inspection by the controls).
    const std::vector<source_line>& lines() const { return lines_; }

    // The open device, its id, and the window its controls post changes to (null: none).
    const std::wstring& id() const { return id_; }
    IMMDevice* device() const { return device_.Get(); }
    HWND notify_window() const { return device_ ? notify_window_ : nullptr; }

    // Whether the open device is the one an empty name opens now; false when
    // closed or when there is no default device.
    bool is_default_device();

private:
    bool ensure_device_list(bool refresh);
    bool take_device(Microsoft::WRL::ComPtr<IMMDevice> device, HWND notify_window);
    void walk_lines();
    // Forgets lines and topology and walks again; used when the kept topology
    // went stale (the device was gone and came back).
    void rewalk_lines();
    void walk_connector(m_devs_handler& handler, IConnector* connector, int depth);
    void walk_neighbours(m_devs_handler& handler, IPart* part, bool upstream, int depth);
    // True the first time a walk reaches `part`.
    bool first_reached(IPart* part);

    Microsoft::WRL::ComPtr<IMMDeviceEnumerator> enumerator_;
    Microsoft::WRL::ComPtr<IMMDeviceCollection> devices_;
    Microsoft::WRL::ComPtr<IMMDevice> device_;
    std::wstring name_;
    std::wstring id_;
    HWND notify_window_ = nullptr;
    Microsoft::WRL::ComPtr<IDeviceTopology> adapter_topology_;
    std::vector<source_line> lines_;
    bool walked_ = false;
    std::set<std::wstring> walked_parts_; // during a walk: the parts reached so far
};

class m_mxrctl_ca::m_devs : public m_mxrctl::m_devs {
public:
    explicit m_devs(m_mxrctl_ca& owner) : owner_(owner) {}
    m_devs(const m_devs&) = delete;
    m_devs& operator=(const m_devs&) = delete;
    ~m_devs() override;

    bool open(bool use_source, int32_t destination, int32_t source) override;
    void close() override;
    bool is_open() const override { return endpoint_volume_ || volume_; }
    const wchar_t* name() const override { return name_.c_str(); }
    int32_t volume() override;
    bool set_volume(int32_t percent) override { return move_volume(percent, 0); }
    bool move_volume(int32_t percent, int32_t direction) override;
    int32_t balance() const override;
    bool set_balance(int32_t balance) override;
    bool mute() override;
    bool set_mute(bool mute) override;
    uint32_t channels() const override { return channels_; }
    bool is_notification(UINT message, WPARAM wparam) const override;
    m_mxrctl* mixer() const override { return &owner_; }

private:
    bool open_master();
    bool move_master(int32_t percent, int32_t direction);
    bool move_line(int32_t percent, int32_t direction);
    bool bind_line(uint32_t source);
    bool watch_part(IPart* part, REFIID iid, void* identity,
                    Microsoft::WRL::ComPtr<Ccallback_ctlchg>& callback);
    static void unwatch_part(IPart* part, Microsoft::WRL::ComPtr<Ccallback_ctlchg>& callback);

    m_mxrctl_ca& owner_;
    Microsoft::WRL::ComPtr<IAudioEndpointVolume> endpoint_volume_;
    Microsoft::WRL::ComPtr<Ccallback_audep> endpoint_callback_;
    Microsoft::WRL::ComPtr<IPart> volume_part_;
    Microsoft::WRL::ComPtr<IAudioVolumeLevel> volume_;
    Microsoft::WRL::ComPtr<IPart> mute_part_;
    Microsoft::WRL::ComPtr<IAudioMute> mute_;
    Microsoft::WRL::ComPtr<Ccallback_ctlchg> volume_callback_;
    Microsoft::WRL::ComPtr<Ccallback_ctlchg> mute_callback_;
    std::wstring name_;
    uint32_t channels_ = 0;
    float balance_ = 0.0f;
};

// A COM callback object of one interface: counted references, deleted at 0.
template <typename Interface> class mxrctl_com_callback : public Interface {
public:
    mxrctl_com_callback() = default;
    mxrctl_com_callback(const mxrctl_com_callback&) = delete;
    mxrctl_com_callback& operator=(const mxrctl_com_callback&) = delete;
    virtual ~mxrctl_com_callback() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override {
        if (!out) return E_POINTER;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(Interface)) {
            *out = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override {
        return static_cast<ULONG>(InterlockedIncrement(&refs_));
    }
    ULONG STDMETHODCALLTYPE Release() noexcept override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

private:
    LONG refs_ = 0;
};

// Both change callbacks run on the audio system's threads: they touch only
// their own reference count and post one message carrying the pointer they
// watch.
template <typename Interface> class mxrctl_change_callback : public mxrctl_com_callback<Interface> {
public:
    mxrctl_change_callback(HWND window, void* identity) noexcept
        : window_(window), identity_(identity) {}

protected:
    HRESULT post() noexcept {
        PostMessageW(window_, mxrctl_change_message, reinterpret_cast<WPARAM>(identity_), 0);
        return S_OK;
    }

private:
    HWND window_;
    void* identity_;
};

class m_mxrctl_ca::Ccallback_audep final
    : public mxrctl_change_callback<IAudioEndpointVolumeCallback> {
public:
    using mxrctl_change_callback::mxrctl_change_callback;
    HRESULT STDMETHODCALLTYPE OnNotify(PAUDIO_VOLUME_NOTIFICATION_DATA) noexcept override {
        return post();
    }
};

class m_mxrctl_ca::Ccallback_ctlchg final : public mxrctl_change_callback<IControlChangeNotify> {
public:
    using mxrctl_change_callback::mxrctl_change_callback;
    HRESULT STDMETHODCALLTYPE OnNotify(DWORD, LPCGUID) noexcept override { return post(); }
};

// Hears devices come and go and the default device change, on the audio
// system's threads. It only posts `message` to the window, and only when no
// such message waits: a burst of events (Windows reports one new default
// once per role) costs the window thread one look at the devices.
class m_mxrctl_ca::Ccallback_devices final : public mxrctl_com_callback<IMMNotificationClient> {
public:
    Ccallback_devices(HWND window, UINT message) noexcept : window_(window), message_(message) {}

    // On the window thread, before it looks at the devices: what happens
    // from now on posts again.
    void take() noexcept { InterlockedExchange(&pending_, 0); }
    // No more messages, whatever the audio system still calls.
    void silence() noexcept { InterlockedExchange(&silent_, 1); }

    HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR, DWORD) noexcept override {
        return notice();
    }
    HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR) noexcept override { return notice(); }
    HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR) noexcept override { return notice(); }
    HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role,
                                                     LPCWSTR) noexcept override {
        // Only the default an empty device name opens matters.
        return flow == default_flow && role == default_role ? notice() : S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) noexcept override {
        return S_OK;
    }

private:
    HRESULT notice() noexcept {
        if (InterlockedCompareExchange(&silent_, 0, 0) != 0) return S_OK;
        // A message that could not be posted leaves nothing waiting.
        if (InterlockedExchange(&pending_, 1) == 0 && !PostMessageW(window_, message_, 0, 0))
            InterlockedExchange(&pending_, 0);
        return S_OK;
    }

    HWND window_;
    UINT message_;
    LONG pending_ = 0;
    LONG silent_ = 0;
};

// Owns one device-list registration on an enumerator of its own (from the
// same factory as the devices'), unregistered before it goes.
class m_mxrctl_ca::m_device_watch {
public:
    m_device_watch() = default;
    m_device_watch(const m_device_watch&) = delete;
    m_device_watch& operator=(const m_device_watch&) = delete;
    ~m_device_watch() { stop(); }

    // Posts `message` to `window` after device changes; false when the audio
    // system refuses (nothing is watched then).
    bool start(HWND window, UINT message) noexcept;
    void stop() noexcept;
    bool watching() const noexcept { return client_ != nullptr; }
    // The window thread got the message; see Ccallback_devices::take.
    void take() noexcept {
        if (client_) client_->take();
    }

private:
    Microsoft::WRL::ComPtr<IMMDeviceEnumerator> enumerator_;
    Microsoft::WRL::ComPtr<Ccallback_devices> client_;
};

// Builds the device's list of source lines while the topology is walked.
class m_mxrctl_ca::m_devs_list_handler final : public m_devs_handler {
public:
    m_devs_list_handler(Microsoft::WRL::ComPtr<IDeviceTopology>& adapter_topology,
                        std::vector<source_line>& lines) noexcept
        : adapter_topology_(adapter_topology), lines_(lines) {}

    bool begin(IMMDevice* device) override;
    bool visit(IPart* part, int depth, UINT index) override;
    void dead_end() override { close_record(); }

private:
    void close_record();

    Microsoft::WRL::ComPtr<IDeviceTopology>& adapter_topology_;
    std::vector<source_line>& lines_;
    source_line current_;
    EDataFlow flow_ = eCapture;
};
