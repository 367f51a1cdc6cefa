#include "mxrctl/mxrctl_ca.h"

#include <cwchar>
#include <string>

using Microsoft::WRL::ComPtr;

namespace {

// KSNODETYPE_SUM: a mixing node ends the line that feeds it.
constexpr GUID node_type_sum = {
    0xda441a60, 0xc556, 0x11d0, {0x8a, 0x2b, 0x00, 0xa0, 0xc9, 0x25, 0x5a, 0xc1}};
// Each part is walked once, so loops and branches that meet again cost
// nothing; the depth limit only guards against a topology that keeps handing
// out parts never seen before.
constexpr int max_walk_depth = 64;
// Global ids name a driver's device interface and can be long.
constexpr size_t max_part_key = 1024;

UINT local_id(IPart* part) {
    UINT id = 0;
    return SUCCEEDED(part->GetLocalId(&id)) ? id : 0;
}

// What tells parts apart across topologies: the global id, else the local id.
// Empty when the part gives neither.
std::wstring part_key(IPart* part) {
    LPWSTR global = nullptr;
    const HRESULT hr = part->GetGlobalId(&global);
    std::wstring key;
    if (SUCCEEDED(hr) && global) key.assign(global, wcsnlen(global, max_part_key));
    CoTaskMemFree(global);
    if (!key.empty()) return key;
    const UINT id = local_id(part);
    return id != 0 ? L"#" + std::to_wstring(id) : std::wstring();
}

template <typename I> bool part_has(IPart* part) {
    ComPtr<I> control;
    return SUCCEEDED(part->Activate(CLSCTX_ALL, __uuidof(I), &control)) && control;
}

} // namespace

void m_mxrctl_ca::walk_lines() {
    if (!device_ || walked_) return;
    walked_ = true;
    ComPtr<IDeviceTopology> topology;
    ComPtr<IConnector> connector;
    if (FAILED(device_->Activate(__uuidof(IDeviceTopology), CLSCTX_ALL, nullptr, &topology)) ||
        !topology || FAILED(topology->GetConnector(0, &connector)) || !connector)
        return;
    m_devs_list_handler handler(adapter_topology_, lines_);
    if (!handler.begin(device_.Get())) return;
    walked_parts_.clear();
    walk_connector(handler, connector.Get(), 0);
    walked_parts_.clear();
}

bool m_mxrctl_ca::first_reached(IPart* part) {
    std::wstring key = part_key(part);
    // A part without any id cannot be recognised again; the depth limit
    // still ends the walk.
    return key.empty() || walked_parts_.insert(std::move(key)).second;
}

void m_mxrctl_ca::rewalk_lines() {
    lines_.clear();
    adapter_topology_.Reset();
    walked_ = false;
    walk_lines();
}

void m_mxrctl_ca::walk_connector(m_devs_handler& handler, IConnector* connector, int depth) {
    BOOL connected = FALSE;
    ComPtr<IConnector> other;
    ComPtr<IPart> part;
    if (depth > max_walk_depth || FAILED(connector->IsConnected(&connected)) || !connected ||
        FAILED(connector->GetConnectedTo(&other)) || !other || FAILED(other.As(&part))) {
        handler.dead_end();
        return;
    }
    // Where the walk has been already, it finds nothing new.
    if (!first_reached(part.Get())) {
        handler.dead_end();
        return;
    }
    if (!handler.visit(part.Get(), depth, 0)) return;
    DataFlow flow = In;
    if (FAILED(other->GetDataFlow(&flow))) {
        handler.dead_end();
        return;
    }
    walk_neighbours(handler, part.Get(), flow == Out, depth + 1);
}

void m_mxrctl_ca::walk_neighbours(m_devs_handler& handler, IPart* part, bool upstream, int depth) {
    ComPtr<IPartsList> parts;
    const HRESULT hr = upstream ? part->EnumPartsIncoming(&parts) : part->EnumPartsOutgoing(&parts);
    UINT count = 0;
    if (depth > max_walk_depth || FAILED(hr) || !parts || FAILED(parts->GetCount(&count)) ||
        count == 0) {
        handler.dead_end();
        return;
    }
    for (UINT i = 0; i < count; ++i) {
        ComPtr<IPart> next;
        if (FAILED(parts->GetPart(i, &next)) || !next) continue;
        if (!first_reached(next.Get())) {
            handler.dead_end();
            continue;
        }
        if (!handler.visit(next.Get(), depth, i)) continue;
        PartType type = Subunit;
        if (FAILED(next->GetPartType(&type))) {
            handler.dead_end();
            continue;
        }
        if (type == Subunit) {
            walk_neighbours(handler, next.Get(), upstream, depth + 1);
        } else {
            ComPtr<IConnector> connector;
            if (SUCCEEDED(next.As(&connector)))
                walk_connector(handler, connector.Get(), depth + 1);
            else
                handler.dead_end();
        }
    }
}

bool m_mxrctl_ca::m_devs_list_handler::begin(IMMDevice* device) {
    ComPtr<IMMEndpoint> endpoint;
    if (FAILED(device->QueryInterface(IID_PPV_ARGS(&endpoint)))) return false;
    EDataFlow flow = eCapture;
    if (FAILED(endpoint->GetDataFlow(&flow))) return false;
    flow_ = flow;
    current_ = {};
    return true;
}

bool m_mxrctl_ca::m_devs_list_handler::visit(IPart* part, int depth, UINT index) {
    const UINT id = local_id(part);
    if (depth == 0 && index == 0) {
        // The first part reached belongs to the adapter whose lines we list.
        ComPtr<IDeviceTopology> topology;
        if (FAILED(part->GetTopologyObjects(&topology)) || !topology || id == 0) return false;
        adapter_topology_ = topology;
        current_.name_part = id;
        return true;
    }
    if (current_.volume_part == 0 && part_has<IAudioVolumeLevel>(part)) current_.volume_part = id;
    if (current_.mute_part == 0 && part_has<IAudioMute>(part)) current_.mute_part = id;
    if (part_has<IAudioInputSelector>(part)) current_.selector_part = id;
    if (flow_ == eCapture && current_.selector_part != 0) {
        close_record(); // what lies behind an input selector is not this line's
        return false;
    }
    PartType type = Subunit;
    if (SUCCEEDED(part->GetPartType(&type)) && type == Connector) {
        ComPtr<IConnector> connector;
        ConnectorType connector_type = Unknown_Connector;
        if (FAILED(part->QueryInterface(IID_PPV_ARGS(&connector))) ||
            FAILED(connector->GetType(&connector_type)) || connector_type != Physical_External) {
            close_record();
            return false;
        }
        current_.name_part = id;
    }
    GUID subtype = GUID_NULL;
    if (SUCCEEDED(part->GetSubType(&subtype)) && subtype == node_type_sum) close_record();
    return true;
}

void m_mxrctl_ca::m_devs_list_handler::close_record() {
    if (current_.volume_part != 0) lines_.push_back(current_);
    current_ = {};
}
