#include "engine/Analize.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/Common.h"
#include "settings/Messages.h"
#include "settings/Prefs.h"

uint32_t g_TreeGeneration = 0;

namespace {

constexpr size_t kTraceBufferSize = 200;

// Depth of the parse call being traced: 1 inside the outermost call.
uint32_t NRecursion = 0;

// Lowers the depth counter on every way out of a parse call that raised it.
struct DepthGuard {
    DepthGuard() { ++NRecursion; }
    ~DepthGuard() { --NRecursion; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;
};

// The rightmost character of the pair outside parentheses, so that operators of one level
// group to the left: 10-2-3 splits at the second minus and is 5.
const char* SearchRightmost(const char* szStr, uint32_t Len, char first, char second) {
    const char* found = nullptr;
    int16_t depth = 0;
    for (uint32_t i = 0; i < Len; ++i) {
        const char c = szStr[i];
        if (c == '(') {
            ++depth;
        } else if (c == ')') {
            --depth;
        }
        if (depth == 0 && (c == first || c == second)) {
            found = szStr + i;
        }
    }
    return found;
}

_FNCNODE* EmptyPart() {
    g_bOnErrorNotDraw = 1;
    ShowProgramMessage(nullptr, kMsgEmptyPart);
    return nullptr;
}

// Juxtaposition: a leaf followed by more text multiplies the parse of that text.
_FNCNODE* LeafTimesRest(const char* szS, uint32_t Len, _FNCNODE* leaf, uint32_t leafLen) {
    DebugMessage("Allocate also the operator: ", szS, Len);
    DebugMessage("before recursing on an Expression ", szS + leafLen, Len - leafLen);
    _FNCNODE* rest = AddTreeParser(szS + leafLen, Len - leafLen);
    return NodeAlloc('*', 0.0, leaf, rest, IsAnOperator);
}

// primary: "X" | "X" primary-text
_FNCNODE* ParseVariable(const char* szS, uint32_t Len) {
    if (Len == 1) {
        DebugMessage("It is a simple X: ", szS, Len);
        return NodeAlloc('X', 0.0, nullptr, nullptr, IsAnX);
    }
    return LeafTimesRest(szS, Len, NodeAlloc('X', 0.0, nullptr, nullptr, IsAnX), 1);
}

// primary: number | number primary-text
_FNCNODE* ParseNumber(const char* szS, uint32_t Len) {
    uint32_t digits = Len;
    const double value = GetNumValue(szS, &digits);
    char text[kTraceBufferSize];
    std::snprintf(text, sizeof text, "Start with number %f", value);
    DebugMessage("It is a NUMBER: ", text, static_cast<uint32_t>(std::strlen(text)));
    if (digits == Len) {
        return NodeAlloc('N', value, nullptr, nullptr, IsAValue);
    }
    return LeafTimesRest(szS, Len, NodeAlloc('N', value, nullptr, nullptr, IsAValue), digits);
}

// primary: "(" text ")"; the last character is taken to be the closing parenthesis. A lone
// "(" has no inside at all and is parsed as an empty part.
_FNCNODE* ParseParenthesised(const char* szS, uint32_t Len) {
    const uint32_t innerLen = Len >= 2 ? Len - 2 : 0;
    DebugMessage("skipping par: ", szS + 1, innerLen);
    return AddTreeParser(szS + 1, innerLen);
}

// primary: function-code text  (the argument is the whole rest of the segment)
_FNCNODE* ParseFunction(const char* szS, uint32_t Len) {
    DebugMessage("Before recursing after a TOKEN: ", szS + 1, Len - 1);
    _FNCNODE* argument = AddTreeParser(szS + 1, Len - 1);
    return NodeAlloc(szS[0], 0.0, argument, nullptr, IsAToken);
}

_FNCNODE* HeapNode() {
    return new (std::nothrow) _FNCNODE;
}

NodeAllocator gNodeAllocator = HeapNode;
uint32_t gLiveNodes = 0;

size_t BoundedLength(const char* text, size_t capacity) {
    const void* end = std::memchr(text, '\0', capacity);
    return end ? static_cast<size_t>(static_cast<const char*>(end) - text) : capacity;
}

}  // namespace

void SetNodeAllocator(NodeAllocator allocator) {
    gNodeAllocator = allocator ? allocator : HeapNode;
}

uint32_t LiveNodeCount() {
    return gLiveNodes;
}

_FNCNODE* NodeAlloc(char op, double val, _FNCNODE* Left, _FNCNODE* Right, NodeTypes NewType) {
    _FNCNODE* node = gNodeAllocator();
    if (node == nullptr) {
        // The operands built for this node would have no owner: they go with it, and the
        // caller links in an absent part.
        DeleteTree(Left);
        DeleteTree(Right);
        return nullptr;
    }
    ++gLiveNodes;
    node->OperatorOrToken = op;
    node->Type = NewType;
    node->Left = Left;
    node->Right = Right;
    node->Value = val;
    ++g_TreeGeneration;
    return node;
}

_FNCNODE* DeleteTree(_FNCNODE* FromThisNode) {
    if (FromThisNode == nullptr) {
        return nullptr;
    }
    if (FromThisNode->Left != nullptr) {
        FromThisNode->Left = DeleteTree(FromThisNode->Left);
    }
    if (FromThisNode->Right != nullptr) {
        FromThisNode->Right = DeleteTree(FromThisNode->Right);
    }
    delete FromThisNode;
    --gLiveNodes;
    ++g_TreeGeneration;
    return nullptr;
}

int16_t ParentsBalanced(const char* str) {
    int16_t count = 0;
    for (const char* p = str; *p != '\0'; ++p) {
        if (*p == '(') {
            ++count;
        } else if (*p == ')') {
            --count;
        }
    }
    return count == 0 ? 0 : -1;
}

bool ParenthesesAccepted(const char* text) {
    if (ParentsBalanced(text) == 0) {
        return true;
    }
    ShowProgramMessage(nullptr, kMsgUnbalanced);
    return false;
}

void Trim(char* Str) {
    char* out = Str;
    for (const char* in = Str; *in != '\0'; ++in) {
        if (*in != ' ') {
            *out++ = *in;
        }
    }
    *out = '\0';
}

void ToUpperCase(char* szStr) {
    for (char* p = szStr; *p != '\0'; ++p) {
        if (*p >= 'a' && *p <= 'z') {
            *p = static_cast<char>(*p - 0x20);
        }
    }
}

// s is a formula buffer of kFormulaCapacity bytes.
void Find_Minus(char* s) {
    if (s[0] != '-') {
        return;
    }
    const size_t length = BoundedLength(s, kFormulaCapacity);
    if (length >= kFormulaCapacity - 1) {
        ShowProgramMessage(nullptr, kMsgTooLong);
        return;
    }
    std::memmove(s + 1, s, length + 1);
    s[0] = '0';
}

void SubstTok() {
    for (int code = 1; code <= kTokenCount; ++code) {
        const char* name = StrTok[code - 1];
        const size_t nameLength = std::strlen(name);
        // Blanks keep later characters in place and the code byte keeps a later name from
        // being read across a replaced one; they go once every name is replaced.
        for (char* p = std::strstr(g_szInternalFn, name); p != nullptr;
             p = std::strstr(g_szInternalFn, name)) {
            p[0] = static_cast<char>(code);
            std::memset(p + 1, ' ', nameLength - 1);
        }
    }
    Trim(g_szInternalFn);
}

void ManageTree() {
    std::snprintf(g_szInternalFn, sizeof g_szInternalFn, "%s", gPrefs.UserFnStr);
    Trim(g_szInternalFn);
    ToUpperCase(g_szInternalFn);
    Find_Minus(g_szInternalFn);
    SubstTok();
    NRecursion = 0;
    g_bOnErrorNotDraw = 0;
    if (g_hRoot != nullptr) {
        g_hRoot = DeleteTree(g_hRoot);
    }
    g_hRoot = AddTreeParser(g_szInternalFn, static_cast<uint32_t>(std::strlen(g_szInternalFn)));
}

void ParseFormulaText(const char* text) {
    SetFormulaText(text);
    ManageTree();
}

// expression: term (("+" | "-") term)* | term, split at the rightmost "+" or "-"
// term: primary (("*" | "/") primary)*, split at the rightmost "*" or "/"
_FNCNODE* AddTreeParser(const char* szS, uint32_t Len) {
    if (Len == 0) {
        return EmptyPart();
    }
    DepthGuard depth;
    DebugMessage("Entering Parser: ", szS, Len);
    if (const char* op = Search_MaxPriority_PlusMinus(szS, Len)) {
        DebugMessage("Find +-: ", szS, Len);
        return AllocateAnOperator(szS, op, Len);
    }
    if (const char* op = Search_MaxPriority_MulDiv(szS, Len)) {
        DebugMessage("Find MUL/DIV: ", szS, Len);
        return AllocateAnOperator(szS, op, Len);
    }
    if (szS[0] == '(') {
        return ParseParenthesised(szS, Len);
    }
    if (szS[0] == 'X') {
        return ParseVariable(szS, Len);
    }
    if (Is_a_Tok(szS)) {
        return ParseFunction(szS, Len);
    }
    if (Is_a_Number(szS)) {
        return ParseNumber(szS, Len);
    }
    ShowProgramMessage(nullptr, kMsgUnknownPart);
    return nullptr;
}

_FNCNODE* AllocateAnOperator(const char* pStart, const char* op_point, uint32_t wLen) {
    DebugMessage("Allocate an operator: ", pStart, wLen);
    const uint32_t leftLen = static_cast<uint32_t>(op_point - pStart);
    DebugMessage("before recursing on left: ", pStart, leftLen);
    _FNCNODE* left = AddTreeParser(pStart, leftLen);
    const uint32_t rightLen = wLen - leftLen - 1;
    DebugMessage("before recursing on right: ", op_point + 1, rightLen);
    _FNCNODE* right = AddTreeParser(op_point + 1, rightLen);
    DebugMessage("Allocating Left and right Of : ", op_point, 1);
    return NodeAlloc(*op_point, 0.0, left, right, IsAnOperator);
}

const char* Search_MaxPriority_PlusMinus(const char* szStr, uint32_t Len) {
    return SearchRightmost(szStr, Len, '+', '-');
}

const char* Search_MaxPriority_MulDiv(const char* szStr, uint32_t Len) {
    return SearchRightmost(szStr, Len, '*', '/');
}

int32_t Is_a_Tok(const char* pStart) {
    const signed char c = static_cast<signed char>(*pStart);
    return c >= 1 && c <= kTokenCount ? 1 : 0;
}

int32_t Is_a_Number(const char* pStart) {
    return *pStart >= '0' && *pStart <= '9' ? 1 : 0;
}

// A number is the longest run of digits at the start of the segment; no point, sign or
// exponent. It is read in double precision, so every integer up to 2^53 keeps its digits.
double GetNumValue(const char* start, uint32_t* Len) {
    char digits[kFormulaCapacity];
    uint32_t count = 0;
    while (count < *Len && count < sizeof digits - 1 && Is_a_Number(start + count)) {
        digits[count] = start[count];
        ++count;
    }
    digits[count] = '\0';
    *Len = count;
    return std::strtod(digits, nullptr);
}

// Shows one step of the parse: the label and depth as title, the segment (cut to 199
// characters) as text.
int16_t DebugMessage(const char* Msg, const char* MyString, uint32_t Len) {
    if (gPrefs.bEnableParsingDebug == 0) {
        return 0;
    }
    char title[kTraceBufferSize];
    char text[kTraceBufferSize];
    std::snprintf(title, sizeof title, " %s %u ", Msg, static_cast<unsigned>(NRecursion));
    const uint32_t shown = Len < sizeof text - 1 ? Len : static_cast<uint32_t>(sizeof text - 1);
    std::memcpy(text, MyString, shown);
    text[shown] = '\0';
    ShowMyMessage(nullptr, text, title, kMbOk);
    return 0;
}
