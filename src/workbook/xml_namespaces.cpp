#include "workbook/xml_namespaces.h"

#include <cstring>

namespace tovrin {

namespace {

const QByteArrayView kXmlUri = "http://www.w3.org/XML/1998/namespace";

// A namespace declaration: "xmlns" or "xmlns:prefix".
bool isDeclaration(const char* name) {
    return name[0] == 'x' && std::strncmp(name, "xmlns", 5) == 0 && (name[5] == '\0' || name[5] == ':');
}

}  // namespace

XmlNamespaces::XmlNamespaces(std::initializer_list<QByteArrayView> uris) {
    for (QByteArrayView uri : uris) uris_.push_back(uri.toByteArray());
    // The prefix "xml" is bound without a declaration.
    scopes_[QByteArrayLiteral("xml")].push_back(uriNumber(kXmlUri));
}

int XmlNamespaces::uriNumber(QByteArrayView uri) const {
    for (size_t i = 0; i < uris_.size(); ++i) {
        if (uris_[i] == uri) return int(i) + 2;
    }
    return kOther;
}

int XmlNamespaces::lookUp(QByteArrayView prefix) {
    for (const auto& [known, ns] : known_) {
        if (known == prefix) return ns;
    }
    const auto scope = scopes_.constFind(QByteArray::fromRawData(prefix.data(), prefix.size()));
    const int ns = scope != scopes_.constEnd() ? scope->back() : prefix.isEmpty() ? kNone : kUnbound;
    // The few prefixes a document uses are found again without hashing.
    const std::pair<QByteArray, int> entry(prefix.toByteArray(), ns);
    if (known_.size() < kKnown) {
        known_.push_back(entry);
    } else {
        known_[nextKnown_++ % kKnown] = entry;
    }
    return ns;
}

int XmlNamespaces::resolve(const char* name, bool element, QByteArrayView& local) {
    const char* colon = std::strchr(name, ':');
    if (!colon) {
        local = QByteArrayView(name);
        return element ? lookUp({}) : kNone;
    }
    local = QByteArrayView(colon + 1);
    // A name has at most one colon, with a prefix before it and a name after.
    if (colon == name || local.isEmpty() || std::strchr(colon + 1, ':')) return kUnbound;
    return lookUp(QByteArrayView(name, colon - name));
}

bool XmlNamespaces::enter(const char* name, const char** attributes) {
    ++depth_;
    bool declared = false;
    for (const char** a = attributes; *a; a += 2) {
        if (!isDeclaration(a[0])) continue;
        const QByteArrayView value(a[1]);
        const bool prefixed = a[0][5] == ':';
        // An empty value takes the default namespace away; a prefix cannot
        // be taken away.
        const int ns = !value.isEmpty() ? uriNumber(value) : prefixed ? kUnbound : kNone;
        const QByteArray prefix = prefixed ? QByteArray(a[0] + 6) : QByteArray("");
        scopes_[prefix].push_back(ns);
        declared_.emplace_back(prefix, depth_);
        declared = true;
    }
    if (declared) known_.clear();

    bool bound = (ns_ = resolve(name, true, name_)) != kUnbound;
    attributes_.clear();
    for (const char** a = attributes; *a; a += 2) {
        if (isDeclaration(a[0])) continue;
        Attribute attribute{kNone, {}, a[1]};
        attribute.ns = resolve(a[0], false, attribute.name);
        bound = bound && attribute.ns != kUnbound;
        attributes_.push_back(attribute);
    }
    return bound;
}

void XmlNamespaces::leave() {
    bool undeclared = false;
    while (!declared_.empty() && declared_.back().second == depth_) {
        const auto scope = scopes_.find(declared_.back().first);
        scope->pop_back();
        if (scope->empty()) scopes_.erase(scope);
        declared_.pop_back();
        undeclared = true;
    }
    if (undeclared) known_.clear();
    --depth_;
}

QByteArrayView XmlNamespaces::value(int ns, QByteArrayView name) const {
    for (const Attribute& a : attributes_) {
        if (a.ns == ns && a.name == name) return QByteArrayView(a.value);
    }
    return {};
}

}  // namespace tovrin
