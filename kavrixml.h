// kavrixml: every public header of the library and of its framework layer.
// Headers under an internal/ folder (namespace `internal`) come along because
// inline code of the public ones needs them; applications do not use them.
//
//   #include "kavrixml.h"
#ifndef KAVRIXML_KAVRIXML_H
#define KAVRIXML_KAVRIXML_H

// plinth
#include "framework/plinth/CharPtrProxy.h"
#include "framework/plinth/CriticalSection.h"
#include "framework/plinth/Exception.h"
#include "framework/plinth/IRefCount.h"
#include "framework/plinth/Logger.h"
#include "framework/plinth/StringUtil.h"
#include "framework/plinth/Type.h"

// plinth parameters
#include "framework/plinth/BaseParameter.h"
#include "framework/plinth/BoolParameter.h"
#include "framework/plinth/ComplexParameter.h"
#include "framework/plinth/FloatParameter.h"
#include "framework/plinth/IntParameter.h"
#include "framework/plinth/ListParameter.h"
#include "framework/plinth/ParameterList.h"
#include "framework/plinth/SimpleParameterList.h"
#include "framework/plinth/StringParameter.h"
#include "framework/plinth/UniqueParameterList.h"

// kavrimain
#include "framework/kavrimain/DiskFileSystem.h"
#include "framework/kavrimain/File.h"
#include "framework/kavrimain/FileInputStream.h"
#include "framework/kavrimain/FileList.h"
#include "framework/kavrimain/FileOperations.h"
#include "framework/kavrimain/FileOutputStream.h"
#include "framework/kavrimain/FileSystem.h"
#include "framework/kavrimain/InputStream.h"
#include "framework/kavrimain/JSObject.h"
#include "framework/kavrimain/Lexer.h"
#include "framework/kavrimain/LexerException.h"
#include "framework/kavrimain/MemoryFileSystem.h"
#include "framework/kavrimain/MemoryInputStream.h"
#include "framework/kavrimain/MemoryOutputStream.h"
#include "framework/kavrimain/NamedObject.h"
#include "framework/kavrimain/Object.h"
#include "framework/kavrimain/OutputStream.h"
#include "framework/kavrimain/Parser.h"
#include "framework/kavrimain/SystemInfo.h"
#include "framework/kavrimain/Token.h"

// core templates
#include "core/CKHashMap.h"
#include "core/Callback.h"
#include "core/Singleton.h"
#include "core/SmartPtr.h"

// XML
#include "xml/Attribute.h"
#include "xml/ContentItem.h"
#include "xml/ContentList.h"
#include "xml/DOMParser.h"
#include "xml/Document.h"
#include "xml/ParameterParser.h"
#include "xml/XMLException.h"
#include "xml/XMLLexer.h"
#include "xml/XMLUtils.h"
#include "xml/XMLWriter.h"
#include "xml/XNode.h"
#include "xml/XPath.h"

// localisation
#include "i18n/Bundle.h"
#include "i18n/Decimal.h"
#include "i18n/FormatCheck.h"
#include "i18n/I18N.h"
#include "i18n/LocaleCode.h"
#include "i18n/MessageFormat.h"
#include "i18n/MessageOutline.h"
#include "i18n/NumberFormat.h"
#include "i18n/PluralExpression.h"
#include "i18n/PluralKey.h"
#include "i18n/PluralRules.h"

#endif  // KAVRIXML_KAVRIXML_H
