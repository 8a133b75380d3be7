// Formula parser: normalisation of the formula text and recursive descent into the tree, plus
// node creation and release and the parenthesis count of the formula dialog.
#pragma once

#include <cstdint>

#include "engine/Globals.h"

// Entry point: normalise gPrefs.UserFnStr into g_szInternalFn and rebuild g_hRoot.
void ManageTree();
// A new formula text for the preferences, then ManageTree, as after the formula dialog.
void ParseFormulaText(const char* text);
// 0 when the text holds as many "(" as ")", -1 otherwise (order is not checked).
int16_t ParentsBalanced(const char* str);
// The formula dialog's check before a text reaches the parser: true when its parentheses
// balance; otherwise it shows "Ricontrolla le parentesi" (no owner, information icon).
bool ParenthesesAccepted(const char* text);

_FNCNODE* NodeAlloc(char op, double val, _FNCNODE* Left, _FNCNODE* Right, NodeTypes NewType);
// Releases a whole subtree; always returns null so the caller can store it back.
_FNCNODE* DeleteTree(_FNCNODE* FromThisNode);

// Where NodeAlloc takes a node record from: the heap, unless a test makes allocations fail on
// purpose. A null allocator puts the heap back. Records are always released with delete.
using NodeAllocator = _FNCNODE* (*)();
void SetNodeAllocator(NodeAllocator allocator);
// Nodes allocated and not yet released.
uint32_t LiveNodeCount();

// The named steps of the parse, exported so that each can be tested on its own; nothing outside
// the parser calls them.
//
// Normalisation, in the order ManageTree applies them.
void Trim(char* Str);
void ToUpperCase(char* szStr);
void Find_Minus(char* s);
void SubstTok();

// Descent over a segment of g_szInternalFn.
_FNCNODE* AddTreeParser(const char* szS, uint32_t Len);
_FNCNODE* AllocateAnOperator(const char* pStart, const char* op_point, uint32_t wLen);
const char* Search_MaxPriority_PlusMinus(const char* szStr, uint32_t Len);
const char* Search_MaxPriority_MulDiv(const char* szStr, uint32_t Len);
int32_t Is_a_Tok(const char* pStart);
int32_t Is_a_Number(const char* pStart);
// Reads the digit run at start, at most *Len characters; on return *Len holds the digit count.
double GetNumValue(const char* start, uint32_t* Len);
// The parse trace: one box per step while bEnableParsingDebug is on.
int16_t DebugMessage(const char* Msg, const char* MyString, uint32_t Len);

// Bumped whenever a node is created or released, so that a compiled copy of a tree can tell
// that the tree it was made from may be gone.
extern uint32_t g_TreeGeneration;
