#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <initializer_list>
#include <vector>

namespace tovrin {

// The namespaces of the names in an XML part, for a reader that tells its
// elements and attributes by namespace: the declarations in scope are kept as
// the elements open and close, and each name's prefix is looked up in them.
// The namespaces asked for are numbered; the others are all one.
class XmlNamespaces {
public:
    // A name without prefix outside any default namespace (an attribute's,
    // always), and a namespace not asked for.
    static constexpr int kNone = 0;
    static constexpr int kOther = 1;

    // `uris`: the namespaces asked for, numbered from 2 in this order.
    explicit XmlNamespaces(std::initializer_list<QByteArrayView> uris);

    struct Attribute {
        int ns;
        QByteArrayView name;  // without prefix
        const char* value;
    };

    // At a start tag (as expat gives it): takes its declarations, then
    // resolves its name and those of its attributes. False when one of them
    // has a prefix that no declaration binds, or more than one colon: the
    // XML is not well formed.
    bool enter(const char* name, const char** attributes);
    // At the end tag of an element entered.
    void leave();

    // The element entered last: its namespace and name without prefix.
    int ns() const { return ns_; }
    QByteArrayView name() const { return name_; }
    // Its attributes, declarations left out.
    const std::vector<Attribute>& attributes() const { return attributes_; }
    // The value of its attribute `name` in namespace `ns`; empty when it has
    // none.
    QByteArrayView value(int ns, QByteArrayView name) const;
    bool is(int ns, QByteArrayView name) const { return ns_ == ns && name_ == name; }

private:
    static constexpr int kUnbound = -1;
    static constexpr size_t kKnown = 8;
    int uriNumber(QByteArrayView uri) const;
    int lookUp(QByteArrayView prefix);
    // The namespace of `name` and its part after the prefix; `element`:
    // unprefixed names are in the default namespace.
    int resolve(const char* name, bool element, QByteArrayView& local);

    std::vector<QByteArray> uris_;
    // Each prefix's namespaces in scope, the innermost last ("": the
    // default namespace), and the declarations in the order made, with
    // the depth of their element.
    QHash<QByteArray, std::vector<int>> scopes_;
    std::vector<std::pair<QByteArray, int>> declared_;
    // Prefixes looked up since the declarations in scope last changed.
    std::vector<std::pair<QByteArray, int>> known_;
    size_t nextKnown_ = 0;
    int depth_ = 0;
    int ns_ = kNone;
    QByteArrayView name_;
    std::vector<Attribute> attributes_;
};

}  // namespace tovrin
