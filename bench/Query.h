// The XPath queries that the comparison times on the large documents, the
// same text for every library that has XPath 1.0. A query's result is
// reduced to one number (its node count, its number, 1 or 0 for a first node
// found) so that the libraries' answers can be checked against each other.
#ifndef KAVRIXML_BENCH_QUERY_H
#define KAVRIXML_BENCH_QUERY_H

#include <vector>

namespace bench {

struct Query {
    // NODES: the whole node set; NUMBER: a number; FIRST: the first node of
    // the set in document order, which a library may find without the rest.
    enum Form { NODES, NUMBER, FIRST };

    const char* name;
    const char* expression;
    Form form;
};

inline const std::vector<Query>& queryTable() {
    static const std::vector<Query> table = {
        {"attribute search", "//*[@id = 'no-such-id']", Query::NODES},
        {"count", "count(//*)", Query::NUMBER},
        {"numeric predicate", "count(//*[@* > 500])", Query::NUMBER},
        {"first match", "//*[not(*)][string-length() > 20]", Query::FIRST},
        {"attribute walk", "count(//@*)", Query::NUMBER},
    };
    return table;
}

}  // namespace bench

#endif  // KAVRIXML_BENCH_QUERY_H
