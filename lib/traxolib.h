#ifndef TRAXOLIB_H
#define TRAXOLIB_H

// The whole public interface of libtraxolib in one include. Every public
// header of the library is listed here, grouped by subsystem.

// Logging
#include "logging/logsource.h"
#include "logging/stopwatch.h"

// Containers
#include "container/containermarkers.h"
#include "container/containerlock.h"
#include "container/containerwriter.h"
#include "container/extractee.h"
#include "container/extractionpaths.h"
#include "container/extractionqueue.h"
#include "container/fileiterator.h"
#include "container/filetag.h"
#include "container/inflater.h"
#include "container/md5generator.h"
#include "container/md5hash.h"
#include "container/parsemode.h"
#include "container/savedfile.h"
#include "container/sectiontag.h"
#include "container/traxoparser.h"
#include "container/validatee.h"
#include "container/validationqueue.h"
#include "container/validationsweep.h"
#include "container/validator.h"

// Summaries
#include "summary/summary.h"
#include "summary/summarycreator.h"
#include "summary/summaryreader.h"
#include "summary/summarywriter.h"
#include "summary/vxmllevel1iter.h"

// Arg-files and tool runners
#include "argfile/argfile.h"
#include "argfile/argfileparser.h"
#include "argfile/argfilereader.h"
#include "argfile/argfiletoken.h"
#include "argfile/libraryinfo.h"
#include "argfile/quoting.h"
#include "argfile/traxorunner.h"
#include "argfile/wsfile.h"

// Query language
#include "query/cnfevaluation.h"
#include "query/conjunctivenormalform.h"
#include "query/expressiontreenode.h"
#include "query/expressionvalue.h"
#include "query/foldedmatcher.h"
#include "query/queryerror.h"
#include "query/queryformula.h"
#include "query/queryparser.h"
#include "query/querytypecheck.h"
#include "query/returnvalue.h"
#include "query/traxofindquery.h"
#include "query/wordprefilter.h"

// Provenance export
#include "provenance/provdocument.h"
#include "provenance/provenanceexporter.h"
#include "provenance/provenancemodel.h"
#include "provenance/rocratemetadata.h"

// Workflow trees and diff
#include "workflow/costmatrix.h"
#include "workflow/dijkstra.h"
#include "workflow/path.h"
#include "workflow/pathexpander.h"
#include "workflow/priorityqueue.h"
#include "workflow/subtreebounds.h"
#include "workflow/temptraxofile.h"
#include "workflow/traxodiff.h"
#include "workflow/traxodiffresult.h"
#include "workflow/traxofilemanager.h"
#include "workflow/treeid.h"
#include "workflow/visitedstates.h"
#include "workflow/workflowcomparison.h"
#include "workflow/workflowstepcosts.h"
#include "workflow/workflowtree.h"
#include "workflow/workflowtreenode.h"

#endif
