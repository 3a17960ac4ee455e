// Keyframer node names: the parent of a node is stored in the file as the index of the
// parent's node; in memory it is the parent's name, in a 0x80F0 pseudo-chunk under the node
// header, so that nodes can be added and removed without renumbering.
#include <string>
#include <unordered_map>
#include <vector>

#include "interchange3ds/Chunk3ds.h"
#include "interchange3ds/Keyframer3ds.h"

namespace lithoscope {

namespace {

bool Pending() { return g_bErrorPending3ds; }

const uint32_t kNodeTags[6] = {Tag3ds::TargetNode, Tag3ds::ObjectNode, Tag3ds::CameraNode,
                               Tag3ds::LightNode, Tag3ds::LightTargetNode, Tag3ds::SpotlightNode};

bool IsNodeTag(uint32_t tag) {
    for (uint32_t t : kNodeTags)
        if (t == tag) return true;
    return false;
}

Chunk3ds* DirectChild(Chunk3ds* parent, uint32_t tag) {
    Chunk3ds* found = nullptr;
    if (parent) FindNextChunk3ds(parent->Child(), tag, &found);
    return found;
}

struct NodeEntry {
    Chunk3ds* node;
    Chunk3ds* header;  // 0xB010, may be null
    int id;            // -1 when the node has no id
    bool hasId;
    std::string name;
    std::string instance;
    int parent;        // parent index from the header, -1 for none
};

// Instance name of an object node ("" for none).
std::string InstanceOf(Chunk3ds* node) {
    if (node->tag != Tag3ds::ObjectNode) return std::string();
    Chunk3ds* inst = DirectChild(node, Tag3ds::InstanceName);
    if (!inst) return std::string();
    auto* s = ReadChunkDataAs3ds<StringData3ds>(inst);
    return s ? FieldName3ds(s->value, kInstanceField3ds) : std::string();
}

}  // namespace

void ComposeKeyframeNames3ds(Database3ds* db) {
    if (!db) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    if (!db->topChunk) {
        PushError3ds(ERR_INVALID_DATABASE);
        return;
    }
    Chunk3ds* kf = DirectChild(db->topChunk.get(), Tag3ds::KeyframerData);
    if (!kf) return;
    std::vector<NodeEntry> table;
    bool allHaveIds = true;
    for (Chunk3ds* node = kf->Child(); node; node = node->Next()) {
        if (!IsNodeTag(node->tag)) continue;
        NodeEntry e{node, DirectChild(node, Tag3ds::NodeHeader), -1, false, {}, {}, -1};
        if (Chunk3ds* idChunk = DirectChild(node, Tag3ds::NodeId)) {
            auto* id = ReadChunkDataAs3ds<UInt16Data3ds>(idChunk);
            if (Pending()) return;
            if (id) {
                e.id = id->value;
                e.hasId = true;
            }
        }
        if (!e.hasId) allHaveIds = false;
        if (e.header) {
            auto* h = ReadChunkDataAs3ds<NodeHeaderData3ds>(e.header);
            if (Pending()) return;
            if (h) {
                e.name = FieldName3ds(h->objName, sizeof ObjectMotion3ds().name);
                e.parent = h->parentIndex;
            }
        }
        e.instance = InstanceOf(node);
        if (Pending()) return;
        table.push_back(std::move(e));
    }
    // Files written without node ids (other tools, older releases) number their nodes in
    // file order, and their parent indices count in that order.
    if (!allHaveIds) {
        for (size_t i = 0; i < table.size(); ++i) {
            table[i].id = int(i);
            table[i].hasId = true;
        }
    }
    std::unordered_map<int, size_t> byId;
    for (size_t i = 0; i < table.size(); ++i) byId.emplace(table[i].id, i);

    for (uint32_t tag : kNodeTags) {
        for (NodeEntry& e : table) {
            if (e.node->tag != tag || !e.header || !e.hasId || e.parent == -1) continue;
            auto it = byId.find(int(uint16_t(e.parent)));
            if (it == byId.end()) continue;  // no node bears that index
            const NodeEntry& p = table[it->second];
            std::string text = p.instance.empty() ? p.name : p.name + "." + p.instance;
            Chunk3ds* pseudo = DirectChild(e.header, Tag3ds::ParentName);
            if (!pseudo) {
                NewChunkTag3ds(&pseudo, Tag3ds::ParentName);
                if (!pseudo) return;
                AppendChildChunk3ds(e.header, pseudo);
            }
            auto* s = ReadChunkDataAs3ds<StringData3ds>(pseudo);
            if (Pending()) return;
            if (!s) s = dynamic_cast<StringData3ds*>(AllocChunkData3ds(pseudo));
            if (s) s->value = text;
        }
    }
}

void SplitKeyframeNames3ds(Chunk3ds* top) {
    if (!top) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    Chunk3ds* kf = DirectChild(top, Tag3ds::KeyframerData);
    if (!kf) return;
    std::vector<NodeEntry> table;
    int nextId = 0;
    for (Chunk3ds* node = kf->Child(); node; node = node->Next()) {
        int id;
        if (node->tag == Tag3ds::AmbientNode)
            id = -1;
        else if (IsNodeTag(node->tag))
            id = nextId++;
        else
            continue;
        if (Chunk3ds* idChunk = DirectChild(node, Tag3ds::NodeId)) {
            auto* d = ReadChunkDataAs3ds<UInt16Data3ds>(idChunk);
            if (Pending()) return;
            if (!d) d = dynamic_cast<UInt16Data3ds*>(AllocChunkData3ds(idChunk));
            if (d) d->value = uint16_t(id);
        }
        if (id < 0) continue;
        NodeEntry e{node, DirectChild(node, Tag3ds::NodeHeader), id, true, {}, {}, -1};
        if (e.header) {
            auto* h = ReadChunkDataAs3ds<NodeHeaderData3ds>(e.header);
            if (Pending()) return;
            if (h) e.name = h->objName;
        }
        e.instance = InstanceOf(node);
        if (Pending()) return;
        table.push_back(std::move(e));
    }
    for (NodeEntry& e : table) {
        if (!e.header) continue;
        auto* h = ReadChunkDataAs3ds<NodeHeaderData3ds>(e.header);
        if (Pending()) return;
        if (!h) continue;
        int parent = -1;
        Chunk3ds* pseudo = DirectChild(e.header, Tag3ds::ParentName);
        auto* s = pseudo ? dynamic_cast<StringData3ds*>(pseudo->data.get()) : nullptr;
        if (s && !s->value.empty()) {
            const std::string& text = s->value;
            size_t dot = text.find('.');
            std::string name = dot == std::string::npos ? text : text.substr(0, dot);
            std::string instance = dot == std::string::npos ? std::string() : text.substr(dot + 1);
            for (const NodeEntry& p : table) {
                bool match = dot == std::string::npos ? (p.name == name && p.instance.empty())
                                                      : (p.name == name && p.instance == instance);
                if (match) {
                    parent = p.id;
                    break;
                }
            }
        }
        h->parentIndex = int16_t(parent);
    }
}

}  // namespace lithoscope
