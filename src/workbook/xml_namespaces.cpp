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
    bindings_.push_back({QByteArrayLiteral("xml"), uriNumber(kXmlUri), 0});
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
    int ns = prefix.isEmpty() ? kNone : kUnbound;
    for (auto b = bindings_.rbegin(); b != bindings_.rend(); ++b) {
        if (b->prefix == prefix) {
            ns = b->ns;
            break;
        }
    }
    known_.emplace_back(prefix.toByteArray(), ns);
    return ns;
}

int XmlNamespaces::resolve(const char* name, bool element, QByteArrayView& local) {
    const char* colon = std::strchr(name, ':');
    if (!colon) {
        local = QByteArrayView(name);
        return element ? lookUp({}) : kNone;
    }
    local = QByteArrayView(colon + 1);
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
        bindings_.push_back({prefixed ? QByteArray(a[0] + 6) : QByteArray(), ns, depth_});
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
    while (!bindings_.empty() && bindings_.back().depth == depth_) {
        bindings_.pop_back();
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
