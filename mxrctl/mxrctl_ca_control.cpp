#include "mxrctl/mxrctl_ca.h"

#include "mxrctl/mxrctl_ca_shared.h"
#include "mxrctl/volume_math.h"

#include <algorithm>
#include <new>

using Microsoft::WRL::ComPtr;
using mxrctl_ca_detail::take_co_string;

// ---------------------------------------------------------------------------
// Controls

m_mxrctl_ca::m_devs::~m_devs() {
    close();
}

bool m_mxrctl_ca::m_devs::open(bool use_source, int32_t, int32_t source) {
    close();
    if (!owner_.device_) return false;
    if (!use_source) return open_master();
    if (source < 0) return false;
    const bool fresh_walk = !owner_.walked_;
    owner_.walk_lines();
    const auto line = static_cast<uint32_t>(source);
    if (bind_line(line) || fresh_walk) return is_open();
    // The topology kept from an earlier walk dies with its device; when the
    // device came back, only a fresh walk reaches its parts again.
    owner_.rewalk_lines();
    return bind_line(line);
}

bool m_mxrctl_ca::m_devs::open_master() {
    ComPtr<IAudioEndpointVolume> volume;
    if (FAILED(owner_.device_->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr,
                                        &volume)) ||
        !volume)
        return false;
    endpoint_volume_ = volume;
    if (owner_.notify_window_) {
        // Called from the window procedure: no exception may come out of here.
        ComPtr<Ccallback_audep> callback(
            new (std::nothrow) Ccallback_audep(owner_.notify_window_, endpoint_volume_.Get()));
        if (callback && SUCCEEDED(endpoint_volume_->RegisterControlChangeNotify(callback.Get())))
            endpoint_callback_ = callback;
    }
    name_ = owner_.name_;
    channels_ = 1;
    return true;
}

bool m_mxrctl_ca::m_devs::bind_line(uint32_t source) {
    close();
    if (source >= owner_.lines_.size() || !owner_.adapter_topology_) return false;
    const source_line line = owner_.lines_[source];
    IDeviceTopology* topology = owner_.adapter_topology_.Get();
    ComPtr<IPart> name_part;
    if (line.name_part && SUCCEEDED(topology->GetPartById(line.name_part, &name_part)) &&
        name_part) {
        LPWSTR text = nullptr;
        if (SUCCEEDED(name_part->GetName(&text))) name_ = take_co_string(text);
    }
    if (line.volume_part && SUCCEEDED(topology->GetPartById(line.volume_part, &volume_part_)) &&
        volume_part_ &&
        SUCCEEDED(volume_part_->Activate(CLSCTX_ALL, __uuidof(IAudioVolumeLevel), &volume_)) &&
        volume_) {
        UINT count = 0;
        channels_ = SUCCEEDED(volume_->GetChannelCount(&count)) ? count : 0;
        watch_part(volume_part_.Get(), __uuidof(IAudioVolumeLevel), volume_.Get(),
                   volume_callback_);
    }
    if (line.mute_part && SUCCEEDED(topology->GetPartById(line.mute_part, &mute_part_)) &&
        mute_part_ && SUCCEEDED(mute_part_->Activate(CLSCTX_ALL, __uuidof(IAudioMute), &mute_)) &&
        mute_) {
        watch_part(mute_part_.Get(), __uuidof(IAudioMute), mute_.Get(), mute_callback_);
    }
    if (is_open()) return true;
    close();
    return false;
}

bool m_mxrctl_ca::m_devs::watch_part(IPart* part, REFIID iid, void* identity,
                                     ComPtr<Ccallback_ctlchg>& callback) {
    if (!owner_.notify_window_) return false;
    ComPtr<Ccallback_ctlchg> created(new (std::nothrow)
                                         Ccallback_ctlchg(owner_.notify_window_, identity));
    if (!created || FAILED(part->RegisterControlChangeCallback(iid, created.Get()))) return false;
    callback = created;
    return true;
}

void m_mxrctl_ca::m_devs::unwatch_part(IPart* part, ComPtr<Ccallback_ctlchg>& callback) {
    if (callback && part) part->UnregisterControlChangeCallback(callback.Get());
    callback.Reset();
}

void m_mxrctl_ca::m_devs::close() {
    if (endpoint_callback_ && endpoint_volume_)
        endpoint_volume_->UnregisterControlChangeNotify(endpoint_callback_.Get());
    endpoint_callback_.Reset();
    endpoint_volume_.Reset();
    unwatch_part(volume_part_.Get(), volume_callback_);
    unwatch_part(mute_part_.Get(), mute_callback_);
    mute_.Reset();
    mute_part_.Reset();
    volume_.Reset();
    volume_part_.Reset();
    name_.clear();
    channels_ = 0;
}

int32_t m_mxrctl_ca::m_devs::volume() {
    if (endpoint_volume_) {
        float scalar = 0.0f;
        if (FAILED(endpoint_volume_->GetMasterVolumeLevelScalar(&scalar))) return 0;
        return mxrctl_math::percent_from_scalar(scalar);
    }
    if (!volume_) return 0;
    UINT count = 0;
    if (FAILED(volume_->GetChannelCount(&count)) || count == 0) return 0;
    float min_db = 0, max_db = 0, step_db = 0;
    if (FAILED(volume_->GetLevelRange(0, &min_db, &max_db, &step_db))) return 0;
    // No allocation on this path, and a driver's wild channel count cannot
    // ask for one: the loudest of the first channels decides.
    constexpr UINT max_read_channels = 32;
    count = std::min(count, max_read_channels);
    float levels[max_read_channels];
    for (UINT i = 0; i < count; ++i)
        if (FAILED(volume_->GetLevel(i, &levels[i]))) return 0;
    return mxrctl_math::percent_from_levels(levels, count, min_db, max_db);
}

bool m_mxrctl_ca::m_devs::move_volume(int32_t percent, int32_t direction) {
    if (endpoint_volume_) return move_master(percent, direction);
    return volume_ && move_line(percent, direction);
}

bool m_mxrctl_ca::m_devs::move_master(int32_t percent, int32_t direction) {
    float before = 0.0f, before_db = 0.0f;
    const bool known = direction != 0 &&
                       SUCCEEDED(endpoint_volume_->GetMasterVolumeLevelScalar(&before)) &&
                       SUCCEEDED(endpoint_volume_->GetMasterVolumeLevel(&before_db));
    if (FAILED(endpoint_volume_->SetMasterVolumeLevelScalar(
            mxrctl_math::scalar_from_percent(percent), nullptr)))
        return false;
    float after = before;
    if (!known || FAILED(endpoint_volume_->GetMasterVolumeLevelScalar(&after))) return true;
    if (direction > 0 ? after > before : after < before) return true;
    // Hardware behind the endpoint holds its own steps, and one of them can
    // be wider than the volume step: go one step of its own from where it was.
    float min_db = 0.0f, max_db = 0.0f, step_db = 0.0f;
    if (FAILED(endpoint_volume_->GetVolumeRange(&min_db, &max_db, &step_db))) return true;
    const float level =
        mxrctl_math::stepped_level(before_db, before_db, min_db, max_db, step_db, direction);
    if (level != before_db) endpoint_volume_->SetMasterVolumeLevel(level, nullptr);
    return true;
}

bool m_mxrctl_ca::m_devs::move_line(int32_t percent, int32_t direction) {
    UINT count = 0;
    float min_db = 0, max_db = 0, step_db = 0;
    if (FAILED(volume_->GetChannelCount(&count)) ||
        FAILED(volume_->GetLevelRange(0, &min_db, &max_db, &step_db)))
        return false;
    float scalar = mxrctl_math::scalar_from_percent(percent);
    // A move goes by whole steps of the louder channel, which is the line's
    // volume; the balance then takes the other channel down from there. A
    // volume set outright is written as asked and left to the hardware.
    float louder = min_db;
    if (direction != 0) {
        constexpr UINT max_read_channels = 32;
        const UINT read = std::min(count, max_read_channels);
        for (UINT i = 0; i < read; ++i) {
            float level = min_db;
            if (SUCCEEDED(volume_->GetLevel(i, &level))) louder = std::max(louder, level);
        }
    } else {
        step_db = 0.0f;
    }
    const auto fit = [&](double wanted, int32_t way) {
        return mxrctl_math::stepped_level(wanted, louder, min_db, max_db, step_db, way);
    };
    const float level = fit(mxrctl_math::db_from_scalar(scalar, min_db, max_db), direction);
    if (count != 2) return SUCCEEDED(volume_->SetLevelUniform(level, nullptr));
    if (direction != 0)
        scalar = static_cast<float>(mxrctl_math::scalar_from_db(level, min_db, max_db));
    const auto [left, right] = mxrctl_math::stereo_levels(scalar, balance_, min_db, max_db);
    float levels[2] = {fit(left, 0), fit(right, 0)};
    return SUCCEEDED(volume_->SetLevelAllChannels(levels, 2, nullptr));
}

int32_t m_mxrctl_ca::m_devs::balance() const {
    return mxrctl_math::setting_from_balance(balance_);
}

bool m_mxrctl_ca::m_devs::set_balance(int32_t balance) {
    balance_ = mxrctl_math::balance_from_setting(balance);
    return true;
}

bool m_mxrctl_ca::m_devs::mute() {
    BOOL muted = FALSE;
    if (endpoint_volume_) return SUCCEEDED(endpoint_volume_->GetMute(&muted)) && muted;
    if (mute_) return SUCCEEDED(mute_->GetMute(&muted)) && muted;
    return false;
}

bool m_mxrctl_ca::m_devs::set_mute(bool mute) {
    if (endpoint_volume_) return SUCCEEDED(endpoint_volume_->SetMute(mute, nullptr));
    if (mute_) return SUCCEEDED(mute_->SetMute(mute, nullptr));
    return false;
}

bool m_mxrctl_ca::m_devs::is_notification(UINT message, WPARAM wparam) const {
    if (message != mxrctl_change_message) return false;
    const void* sender = reinterpret_cast<const void*>(wparam);
    return (endpoint_callback_ && sender == endpoint_volume_.Get()) ||
           (volume_callback_ && sender == volume_.Get()) ||
           (mute_callback_ && sender == mute_.Get());
}
