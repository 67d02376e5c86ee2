"""Schema hints for suite documents that carry none.

add_hints() copies a document with xsi:schemaLocation and
xsi:noNamespaceSchemaLocation added to its root element, for the namespaces
that the root's own hints do not already name; the rest of the document is
kept byte for byte. Documents are taken as ASCII-compatible (the suite's are
all UTF-8); hint values are written as escaped URI references.
"""

import os
import re
import urllib.parse

XSI = "http://www.w3.org/2001/XMLSchema-instance"

_PROLOG_ITEM = re.compile(rb"\s+|<\?.*?\?>|<!--.*?-->", re.DOTALL)
_ROOT_NAME = re.compile(rb"<([^\s/>]+)")
_ATTRIBUTE = re.compile(rb"\s+([^\s=/>]+)\s*=\s*(\"[^\"]*\"|'[^']*')")
_TARGET_NAMESPACE = re.compile(rb"<(?:[^\s:>]+:)?schema\b[^>]*?\stargetNamespace\s*=\s*(\"[^\"]*\"|'[^']*')")


def target_namespace(schema_path):
    """The targetNamespace of a schema document, or None for none (or for a
    document that cannot be read: it is hinted as a no-namespace schema and
    its fault shows there)."""
    try:
        with open(schema_path, "rb") as schema:
            found = _TARGET_NAMESPACE.search(schema.read())
    except OSError:
        return None
    return found.group(1)[1:-1].decode("utf-8", errors="replace") if found else None


def location(schema_path, document_folder):
    """schema_path as a URI reference relative to document_folder."""
    relative = os.path.relpath(schema_path, document_folder).replace(os.sep, "/")
    escaped = urllib.parse.quote(relative, safe="/-._~!$'()*+,;=@")
    return escaped if ":" not in escaped.split("/")[0] else "./" + escaped


def _skip_doctype(data, at):
    """Position after the DOCTYPE declaration starting at at."""
    quote = None
    depth = 0
    for index in range(at, len(data)):
        char = data[index:index + 1]
        if quote:
            quote = None if char == quote else quote
        elif char in (b'"', b"'"):
            quote = char
        elif char == b"[":
            depth += 1
        elif char == b"]":
            depth -= 1
        elif char == b">" and depth == 0:
            return index + 1
    return len(data)


def _root_start(data):
    """Position of the root element's '<', or None."""
    at = 3 if data.startswith(b"\xef\xbb\xbf") else 0
    while at < len(data):
        item = _PROLOG_ITEM.match(data, at)
        if item:
            at = item.end()
        elif data.startswith(b"<!DOCTYPE", at):
            at = _skip_doctype(data, at)
        elif data.startswith(b"<", at):
            return at
        else:
            return None
    return None


def _xml_escaped(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace('"', "&quot;").encode("utf-8")


def add_hints(data, pairs, no_namespace):
    """data with hints for pairs [(namespace, location)] and the location
    no_namespace (or None) added to its root; None when the root's hints
    already name every namespace, or when no root start tag is found."""
    start = _root_start(data)
    name = _ROOT_NAME.match(data, start) if start is not None else None
    if name is None:
        return None
    attributes = []
    at = name.end()
    while True:
        attribute = _ATTRIBUTE.match(data, at)
        if not attribute:
            break
        attributes.append(attribute)
        at = attribute.end()

    prefixes = {a.group(1)[6:] for a in attributes
                if a.group(1).startswith(b"xmlns:") and a.group(2)[1:-1] == XSI.encode()}
    pairs_attribute = single_attribute = None
    for attribute in attributes:
        prefix, _, local = attribute.group(1).partition(b":")
        if prefix in prefixes and local == b"schemaLocation":
            pairs_attribute = attribute
        elif prefix in prefixes and local == b"noNamespaceSchemaLocation":
            single_attribute = attribute
    named = set(pairs_attribute.group(2)[1:-1].decode("utf-8", "replace").split()[0::2]
                if pairs_attribute else [])
    new_pairs = " ".join(f"{ns} {where}" for ns, where in pairs if ns not in named)
    if single_attribute is not None:
        no_namespace = None
    if not new_pairs and no_namespace is None:
        return None

    if prefixes:
        prefix = sorted(prefixes)[0]
        declaration = b""
    else:
        declared = {a.group(1)[6:] for a in attributes if a.group(1).startswith(b"xmlns:")}
        prefix = b"xsi" if b"xsi" not in declared else b"xsts-xsi"
        declaration = b' xmlns:' + prefix + b'="' + XSI.encode() + b'"'
    added = declaration
    if no_namespace is not None:
        added += b" " + prefix + b':noNamespaceSchemaLocation="' + _xml_escaped(no_namespace) + b'"'
    if new_pairs and pairs_attribute is None:
        added += b" " + prefix + b':schemaLocation="' + _xml_escaped(new_pairs) + b'"'
    edits = [(name.end(), added)]
    if new_pairs and pairs_attribute is not None:
        edits.append((pairs_attribute.end(2) - 1, b" " + _xml_escaped(new_pairs)))
    for position, text in sorted(edits, reverse=True):
        data = data[:position] + text + data[position:]
    return data
