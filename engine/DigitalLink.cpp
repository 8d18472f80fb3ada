// SPDX-License-Identifier: MIT
// GS1 Digital Link URIs of GS1 element strings (GS1 Digital Link: URI Syntax, release 1.4): the
// stem, the primary key and its key qualifiers as path segments in the order the standard gives
// them, every other AI as a query attribute in the order of the data; every value percent-encoded
// except the unreserved characters of RFC 3986.
#include <algorithm>
#include <cctype>

#include "engine/GS1.h"

namespace varlen {

namespace {

[[noreturn]] void refuse(const std::string& what) { throw EOverflow("GS1 Digital Link: " + what); }

bool unreserved(unsigned char c) { return std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~'; }

std::string percentEncoded(std::string_view value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : value) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (unreserved(u)) {
            out += c;
        } else {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 15];
        }
    }
    return out;
}

std::vector<std::string> splitList(std::string_view text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(separator, start)) != std::string_view::npos; start = end + 1)
        parts.emplace_back(text.substr(start, end - start));
    if (start < text.size()) parts.emplace_back(text.substr(start));
    return parts;
}

}  // namespace

std::string digitalLinkStemError(std::string_view stem) {
    std::string lower(stem);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    const std::size_t scheme = lower.starts_with("https://") ? 8 : lower.starts_with("http://") ? 7 : 0;
    if (scheme == 0) return "does not begin with http:// or https://";
    const std::size_t hostEnd = stem.find('/', scheme);
    if (stem.substr(scheme, hostEnd - scheme).empty()) return "names no host";
    for (std::size_t i = scheme; i < stem.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(stem[i]);
        if (c == '?' || c == '#') return std::string("holds \"") + static_cast<char>(c) + "\", which would end the path";
        // RFC 3986: the unreserved characters, "%" of an escape, and the delimiters of a path.
        if (!unreserved(c) && std::string_view("%:/@!$&'()*+,;=[]").find(static_cast<char>(c)) == std::string_view::npos)
            return "holds a character at position " + std::to_string(i + 1) + " that a URL cannot carry";
    }
    return {};
}

std::string digitalLinkUri(const std::vector<TGS1Element>& elements, std::string_view stem) {
    const auto key = std::find_if(elements.begin(), elements.end(), [](const TGS1Element& e) { return e.format->dlKey; });
    if (key == elements.end())
        refuse("the data holds no primary key such as AI (01), (00), (253), (414) or (8004)");

    // The qualifiers of the key that the data holds, and the sequence of the key that takes them all.
    std::vector<const TGS1Element*> qualifiers;
    std::vector<std::string> sequence;
    for (const std::string& alternative : splitList(key->format->dlKey, '|')) {
        const std::vector<std::string> ais = splitList(alternative, ',');
        std::vector<const TGS1Element*> found;
        for (const std::string& ai : ais)
            for (const TGS1Element& e : elements)
                if (e.ai == ai) {
                    found.push_back(&e);
                    break;
                }
        if (found.size() > qualifiers.size()) {
            qualifiers = found;
            sequence = ais;
        }
    }

    std::string uri(stem);
    while (uri.ends_with('/')) uri.pop_back();
    uri += "/" + key->ai + "/" + percentEncoded(key->data);
    for (const TGS1Element* q : qualifiers) uri += "/" + q->ai + "/" + percentEncoded(q->data);

    char separator = '?';
    for (const TGS1Element& e : elements) {
        if (&e == &*key || std::find(qualifiers.begin(), qualifiers.end(), &e) != qualifiers.end()) continue;
        // The same AI with the same data again adds nothing to the URI.
        const auto earlier = std::find_if(elements.begin(), elements.end(), [&](const TGS1Element& o) { return o.ai == e.ai; });
        if (&*earlier != &e) continue;
        if (e.format->dlKey) refuse("AI (" + e.ai + ") is a second primary key besides AI (" + key->ai + ")");
        if (!e.format->dlAttribute)
            refuse("AI (" + e.ai + ") is neither a key qualifier of AI (" + key->ai +
                   ") in this URI nor a data attribute");
        uri += separator + e.ai + "=" + percentEncoded(e.data);
        separator = '&';
    }
    return uri;
}

}  // namespace varlen
