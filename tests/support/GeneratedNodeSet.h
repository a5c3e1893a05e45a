#pragma once

#include <QByteArray>
#include <QString>

namespace ov::test {

// A NodeSet2 document of an address space in the generated layout: the
// object Generated below the Objects folder, the folders F0..F<n-1> in it
// and the Double variables F<f>.V0..V<m-1> in each folder, all readable
// and writable.
inline QByteArray GeneratedNodeSet(int folders, int variables) {
    QByteArray xml =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<UANodeSet xmlns=\"http://opcfoundation.org/UA/2011/03/UANodeSet.xsd\">"
        "<NamespaceUris><Uri>urn:ovopc:generated</Uri></NamespaceUris>"
        "<UAObject NodeId=\"ns=1;s=Generated\" BrowseName=\"1:Generated\"><References>"
        "<Reference ReferenceType=\"i=35\" IsForward=\"false\">i=85</Reference></References></UAObject>\n";
    for (int f = 0; f < folders; ++f) {
        xml += QStringLiteral("<UAObject NodeId=\"ns=1;s=F%1\" BrowseName=\"1:F%1\"><References><Reference "
                              "ReferenceType=\"i=35\" IsForward=\"false\">ns=1;s=Generated</Reference></References></UAObject>\n")
                   .arg(f)
                   .toUtf8();
        for (int v = 0; v < variables; ++v)
            xml += QStringLiteral("<UAVariable NodeId=\"ns=1;s=F%1.V%2\" BrowseName=\"1:V%2\" DataType=\"i=11\" AccessLevel=\"3\">"
                                  "<References><Reference ReferenceType=\"i=47\" IsForward=\"false\">ns=1;s=F%1</Reference>"
                                  "</References></UAVariable>\n")
                       .arg(f)
                       .arg(v)
                       .toUtf8();
    }
    return xml + "</UANodeSet>\n";
}

}  // namespace ov::test
